# Shared by the fuzz scripts: sourced with the script's own arguments
# [SECONDS (60)] [BUILD_DIR (build-fuzz beside the sources)].
set -euo pipefail

seconds=${1:-60}
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build=${2:-$root/build-fuzz}

# Configures the clang build and builds the given targets.
fuzz_build() {
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" --target "$@" -j "${JOBS:-2}"
}

# fuzz_run TARGET MAX_LEN PREFIX: runs build/tests/TARGET for $seconds over
# build/PREFIX-corpus and build/PREFIX-seeds; findings go to
# build/PREFIX-artifacts.
fuzz_run() {
  local target=$1 max_len=$2 prefix=$3
  mkdir -p "$build/$prefix-corpus" "$build/$prefix-artifacts"
  QT_QPA_PLATFORM=offscreen "$build/tests/$target" \
    -max_total_time="$seconds" \
    -timeout=20 \
    -rss_limit_mb=3072 \
    -max_len="$max_len" \
    -print_final_stats=1 \
    -artifact_prefix="$build/$prefix-artifacts/" \
    "$build/$prefix-corpus" "$build/$prefix-seeds"
}
