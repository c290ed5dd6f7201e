#!/usr/bin/env bash
# Starts the wizard from the build folder, on the demonstration movie when
# one has been built.
set -euo pipefail
bin="${1:-build/bin}"
sample="$bin/../samples/demo.swf"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "The wizard is built ($bin/Kavrel), but this session has no graphical display."
  echo "Run 'make run' from a desktop session, or under X forwarding / xvfb-run with a viewer."
  # Something to look at all the same: the demonstration movie's first
  # second, drawn by the command-line renderer.
  if [ -f "$sample" ] && [ -x "$bin/kavrel-frames" ]; then
    frames="$(cd "$bin/../samples" && pwd)/frames"
    if "$bin/kavrel-frames" "$sample" --frames 1-24 --out "$frames"; then
      echo "The demonstration movie's first 24 frames are drawn in $frames/ (frame-0001.png ...)."
    fi
  fi
  exit 0
fi
if [ -f "$sample" ]; then exec "$bin/Kavrel" "$sample"; else exec "$bin/Kavrel"; fi
