#!/usr/bin/env bash
# Starts the wizard from the build folder, on the demonstration movie when
# one has been built.
set -euo pipefail
bin="${1:-build/bin}"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "The wizard is built ($bin/Kavrel), but this session has no graphical display."
  echo "Run 'make run' from a desktop session, or under X forwarding / xvfb-run with a viewer."
  exit 0
fi
sample="$bin/../samples/demo.swf"
if [ -f "$sample" ]; then exec "$bin/Kavrel" "$sample"; else exec "$bin/Kavrel"; fi
