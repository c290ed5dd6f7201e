#!/usr/bin/env bash
# Builds the movie engine's libFuzzer target with clang and runs it for a
# while over seed movies made by the test writer. Exits non-zero when the
# fuzzer finds a crash, a hang or a leak; the input that caused it is left
# in BUILD_DIR/fuzz-artifacts.
#
# Usage: run-fuzz.sh [SECONDS (60)] [BUILD_DIR (build-fuzz beside the sources)]
source "$(dirname "$0")/../../../fuzz-common.sh"

fuzz_build reader_fuzz reader_fuzz_seeds
"$build/tests/reader_fuzz_seeds" "$build/fuzz-seeds"
fuzz_run reader_fuzz 65536 fuzz
