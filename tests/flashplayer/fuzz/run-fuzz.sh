#!/usr/bin/env bash
# Builds the movie engine's libFuzzer target with clang and runs it for a
# while over seed movies made by the test writer. Exits non-zero when the
# fuzzer finds a crash, a hang or a leak; the input that caused it is left
# in BUILD_DIR/fuzz-artifacts.
#
# Usage: run-fuzz.sh [SECONDS (60)] [BUILD_DIR (build-fuzz beside the sources)]
set -euo pipefail

seconds=${1:-60}
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../../.." && pwd)"
build=${2:-$root/build-fuzz}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target reader_fuzz reader_fuzz_seeds -j "${JOBS:-2}"

seeds="$build/fuzz-seeds"
corpus="$build/fuzz-corpus"
artifacts="$build/fuzz-artifacts"
mkdir -p "$corpus" "$artifacts"
"$build/tests/reader_fuzz_seeds" "$seeds"

export QT_QPA_PLATFORM=offscreen
"$build/tests/reader_fuzz" \
  -max_total_time="$seconds" \
  -timeout=20 \
  -rss_limit_mb=3072 \
  -max_len=65536 \
  -print_final_stats=1 \
  -artifact_prefix="$artifacts/" \
  "$corpus" "$seeds"
