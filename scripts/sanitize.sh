#!/usr/bin/env bash
# Native build with AddressSanitizer and UndefinedBehaviorSanitizer in
# build/asan, then every native test suite.  Run scripts/test.sh once first
# on a fresh machine: it installs the tools.
set -u -o pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
JOBS=${PLX_JOBS:-2}
DIR=$ROOT/build/asan

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:halt_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

cmake -S "$ROOT" -B "$DIR" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPLX_SANITIZE=ON || exit 1
cmake --build "$DIR" -j "$JOBS" || exit 1
ctest --test-dir "$DIR" -j "$JOBS" --timeout "${PLX_TEST_TIMEOUT:-900}" --output-on-failure
