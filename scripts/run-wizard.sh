#!/usr/bin/env bash
# Starts the wizard from the build folder, on the demonstration movie when
# one has been built.
set -euo pipefail
bin="${1:-build/bin}"
sample="$bin/../samples/demo.swf"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "The wizard is built ($bin/Kavrel), but this session has no graphical display."
  echo "Run 'make run' from a desktop session, or under X forwarding / xvfb-run with a viewer."
  # Something to look at all the same: a contact sheet of the
  # demonstration movie, made the way the wizard makes one.
  if [ -f "$sample" ] && [ -x "$bin/kavrel-sheet" ]; then
    sheet="$(cd "$bin/../samples" && pwd)/demo.pdf"
    if "$bin/kavrel-sheet" "$sample" -o "$sheet" --quiet; then
      echo "A contact sheet of the demonstration movie is written to $sheet."
    fi
  fi
  exit 0
fi
if [ -f "$sample" ]; then exec "$bin/Kavrel" "$sample"; else exec "$bin/Kavrel"; fi
