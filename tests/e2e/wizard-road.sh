#!/usr/bin/env bash
# The wizard driven from the keyboard on its own X server, as a person would:
# the demonstration movie opened, its frames captured ("File Frames", or
# "Screen" with Play and Stop), every shown frame selected, Next on every
# step; the sheet must come out beside the movie with the frames' pictures
# and labels.
# Usage: wizard-road.sh BIN_DIR MOVIE (file|screen)
set -euo pipefail
bin="$1"
movie="$2"
method="${3:-file}"

source "$(dirname "$0")/common.sh"
cp "$movie" "$work/demo.swf"

logs+=("$work/kavrel.log")
"$bin/Kavrel" "$work/demo.swf" >"$work/kavrel.log" 2>&1 &
kavrel=$!
watched=$kavrel

step 1
key alt+n
step 2
if [ "$method" = screen ]; then
  # Capture method: Screen, then Play (next in the tab order), wait, Stop
  # (which takes the focus from Play).
  key alt+m Down Tab space
  sleep 1.5
  key space
else
  key alt+n
fi
step 3
key alt+e
key alt+n
step 4
key alt+n
step 5
key alt+n
step 6
key alt+n
step 7
key alt+c
ended "$kavrel" 10 || fail "the wizard did not close"

sheet="$work/demo.pdf"
[ -f "$sheet" ] || fail "no demo.pdf beside the movie"
pages="$(pdfinfo "$sheet" | awk '/^Pages:/ {print $2}')"
pictures="$(pdfimages -list "$sheet" | tail -n +3 | wc -l)"
labels="$(pdftotext "$sheet" - | tr '\f' '\n' | grep -Ec '^Frame [0-9]+$' || true)"
[ "$pages" -ge 1 ] || fail "the sheet has no pages"
[ "$pictures" -ge 2 ] || fail "the sheet holds $pictures pictures"
[ "$labels" -eq "$pictures" ] || fail "$pictures pictures but $labels labels"
grep -q "demo.pdf" "$work/viewed" 2>/dev/null || fail "the finished sheet was not handed to the viewer"
echo "ok: $method capture, $pages pages, $pictures pictures, $labels labels"
