#!/usr/bin/env bash
# Runs every benchmark that bench/CMakeLists.txt lists, from a build folder.
# Usage: run-all.sh [BUILD_DIR (build)]
set -euo pipefail
build="${1:-build}"
list="$build/bench/benchmarks.txt"
if [ ! -f "$list" ]; then
  echo "No benchmark list in $build/bench; build first (make bench does)." >&2
  exit 1
fi
export QT_QPA_PLATFORM=offscreen
failed=0
ran=0
while IFS= read -r name; do
  [ -n "$name" ] || continue
  echo "== $name"
  ran=$((ran + 1))
  if [ ! -x "$build/bench/$name" ]; then
    echo "== $name is not built; build everything first (make bench does)" >&2
    failed=1
  elif ! "$build/bench/$name" < /dev/null; then  # the list is on standard input
    echo "== $name failed" >&2
    failed=1
  fi
  echo
done < "$list"
[ "$ran" -gt 0 ] || echo "No benchmarks are listed."
exit "$failed"
