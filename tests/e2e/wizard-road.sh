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

for tool in Xvfb xdotool pdfinfo pdfimages pdftotext; do
  command -v "$tool" >/dev/null || { echo "missing $tool (make deps installs it)" >&2; exit 1; }
done

work="$(mktemp -d)"
xvfb=""
kavrel=""
cleanup() {
  [ -z "$kavrel" ] || kill "$kavrel" 2>/dev/null || true
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  [ ! -f "$work/kavrel.log" ] || sed 's/^/  kavrel: /' "$work/kavrel.log" >&2
  exit 1
}

cp "$movie" "$work/demo.swf"
mkdir -p "$work/home" "$work/config" "$work/run" "$work/fake"
chmod 700 "$work/run"
# "View the file when finished" hands the sheet to the desktop's opener:
# this one writes down what it was given.
cat > "$work/fake/xdg-open" <<EOF
#!/bin/sh
echo "\$@" >> "$work/viewed"
EOF
chmod +x "$work/fake/xdg-open"

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
export PATH="$work/fake:$PATH"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

"$bin/Kavrel" "$work/demo.swf" >"$work/kavrel.log" 2>&1 &
kavrel=$!

# Waits until the wizard shows step n (of any count).
step() {
  for _ in $(seq 300); do
    kill -0 "$kavrel" 2>/dev/null || fail "the wizard ended before step $1"
    xdotool search --onlyvisible --name "step $1 of" >/dev/null 2>&1 && { sleep 0.3; return 0; }
    sleep 0.1
  done
  fail "step $1 never showed"
}
key() { xdotool key --clearmodifiers "$@"; sleep 0.3; }

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
for _ in $(seq 100); do kill -0 "$kavrel" 2>/dev/null || break; sleep 0.1; done
kill -0 "$kavrel" 2>/dev/null && fail "the wizard did not close"
kavrel=""

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
