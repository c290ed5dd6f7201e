#!/usr/bin/env bash
# The authoring road, as a person would take it: the authoring host opens the
# demonstration movie and runs the command "Tessory - Export to PDF"; the
# wizard it starts is driven from the keyboard (every shown frame selected,
# Next on every step). The sheet must come out beside the movie, its pictures
# the host's published JPEG files byte for byte, and the host must end with
# the run.
# Usage: authoring-road.sh BIN_DIR MOVIE
set -euo pipefail
bin="$1"
movie="$2"

source "$(dirname "$0")/common.sh"
# Blanks, a quote, & and letters beyond ASCII on the way to the wizard.
folder="$work/Movies & \"Clips\" – Zürich"
mkdir -p "$folder" "$work/published"
cp "$movie" "$folder/demo.swf"

logs+=("$work/host.log")
"$bin/authoring-host" "$folder/demo.swf" --run "Tessory - Export to PDF.jsfl" \
  --keep-published "$work/published" >"$work/host.log" 2>&1 &
host=$!
watched=$host

step 1
steps="$(step_count 1)"
# A second host running the command meanwhile must not start a second run.
"$bin/authoring-host" "$folder/demo.swf" --run "Tessory - Export to PDF.jsfl" >"$work/second.log" 2>&1 &
second=$!
ended "$second" 20 || fail "a second host running the command did not end"
wait "$second" || fail "the second host's command failed: $(cat "$work/second.log")"
[ "$(xdotool search --onlyvisible --name 'step 1 of' | wc -l)" -eq 1 ] || fail "a second wizard was started"
key alt+n
step 2
key alt+e
key alt+n
for n in $(seq 3 "$steps"); do
  step "$n"
  [ "$n" -eq "$steps" ] || key alt+n
done
key alt+c
watched=""
ended "$host" 20 || fail "the authoring host did not end with the run"
wait "$host" || fail "the command script failed"

sheet="$folder/demo.pdf"
[ -f "$sheet" ] || fail "no demo.pdf beside the movie"
pages="$(pdfinfo "$sheet" | awk '/^Pages:/ {print $2}')"
mkdir "$work/extracted"
pdfimages -j "$sheet" "$work/extracted/p"
pictures="$(ls "$work/extracted" | wc -l)"
[ "$pictures" -ge 2 ] || fail "the sheet holds $pictures pictures"
published="$(cd "$work/published" && sha256sum -- * | awk '{print $1}' | sort -u)"
for picture in "$work/extracted"/*; do
  [ "${picture##*.}" = jpg ] || fail "$(basename "$picture") is not a JPEG picture"
  sum="$(sha256sum "$picture" | awk '{print $1}')"
  grep -qx "$sum" <<<"$published" || fail "$(basename "$picture") is not one of the host's published pictures"
done
grep -q "demo.pdf" "$work/viewed" 2>/dev/null || fail "the finished sheet was not handed to the viewer"
echo "ok: $pages pages, $pictures pictures, each one of the host's $(ls "$work/published" | wc -l) published JPEG files"
