#!/usr/bin/env bash
# Builds the PDF engine's libFuzzer target with clang and runs it for a while
# over page metafiles and front files made by our own canvas and engine.
# Exits non-zero when the fuzzer finds a crash, a hang or a leak; the input
# that caused it is left in BUILD_DIR/engine-fuzz-artifacts.
#
# Usage: run-fuzz.sh [SECONDS (60)] [BUILD_DIR (build-fuzz beside the sources)]
source "$(dirname "$0")/../../../fuzz-common.sh"

fuzz_build engine_fuzz engine_fuzz_seeds wpdf
QT_QPA_PLATFORM=offscreen "$build/tests/engine_fuzz_seeds" "$build/engine-fuzz-seeds" "$build/bin/wPDF200A.so"
fuzz_run engine_fuzz 262144 engine-fuzz
