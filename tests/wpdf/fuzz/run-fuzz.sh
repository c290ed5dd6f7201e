#!/usr/bin/env bash
# Builds the PDF engine's libFuzzer target with clang and runs it for a while
# over page metafiles and front files made by our own canvas and engine.
# Exits non-zero when the fuzzer finds a crash, a hang or a leak; the input
# that caused it is left in BUILD_DIR/engine-fuzz-artifacts.
#
# Usage: run-fuzz.sh [SECONDS (60)] [BUILD_DIR (build-fuzz beside the sources)]
set -euo pipefail

seconds=${1:-60}
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../../.." && pwd)"
build=${2:-$root/build-fuzz}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target engine_fuzz engine_fuzz_seeds wpdf -j "${JOBS:-2}"

seeds="$build/engine-fuzz-seeds"
corpus="$build/engine-fuzz-corpus"
artifacts="$build/engine-fuzz-artifacts"
mkdir -p "$corpus" "$artifacts"
QT_QPA_PLATFORM=offscreen "$build/tests/engine_fuzz_seeds" "$seeds" "$build/bin/wPDF200A.so"

"$build/tests/engine_fuzz" \
  -max_total_time="$seconds" \
  -timeout=20 \
  -rss_limit_mb=3072 \
  -max_len=262144 \
  -print_final_stats=1 \
  -artifact_prefix="$artifacts/" \
  "$corpus" "$seeds"
