#!/usr/bin/env bash
# Fuzzes the parsers that read outside input: builds the libFuzzer programs
# (tests/fuzz/*_fuzz.cpp) in build/fuzz with clang and
# -fsanitize=fuzzer,address,undefined, then runs each target for a bounded
# time, starting from its seed corpus tests/fuzz/corpus/<target>/.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]   SECONDS per target (default 120);
#                                           targets: reg_file version profile
#                                           registry_import string_numbers (default all)
#
# Prints per target the executions, the inputs the run added and its
# findings.  A finding (crash, leak, undefined behaviour, a broken expectation
# of the target, a timeout or running out of memory) stops that target; its
# input is kept in build/fuzz/findings/<target>/ and the script exits
# non-zero.  Inputs the fuzzer found go to build/fuzz/corpus/<target>/, not
# to the tree: copy the few that matter into the seed corpus.  Needs clang
# and libFuzzer's runtime (apt-get install clang libclang-rt-14-dev).
set -u -o pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
JOBS=${PLX_JOBS:-2}
DIR=$ROOT/build/fuzz
SECONDS_PER_TARGET=${1:-120}
shift $(($# > 0 ? 1 : 0))
TARGETS=("$@")
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=(reg_file version profile registry_import string_numbers)
CLANG=${PLX_CLANG:-$(command -v clang++-14 || command -v clang++)}
CC_CLANG=${CLANG/clang++/clang}

cmake -S "$ROOT" -B "$DIR" -G Ninja -DCMAKE_CXX_COMPILER="$CLANG" -DCMAKE_C_COMPILER="$CC_CLANG" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DPLX_FUZZ=ON >/dev/null || exit 1
cmake --build "$DIR" -j "$JOBS" --target $(printf 'plx_fuzz_%s ' "${TARGETS[@]}") || exit 1

# The simulated machines live in memory: the registry is written with fsync on every change.
work=$(mktemp -d "$( [ -d /dev/shm ] && echo /dev/shm || echo /tmp )/plx-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

status=0
summary=()
for target in "${TARGETS[@]}"; do
    corpus=$DIR/corpus/$target
    findings=$DIR/findings/$target
    log=$DIR/$target.log
    mkdir -p "$corpus" "$findings"
    before=$(find "$corpus" -type f | wc -l)
    echo "== $target: $SECONDS_PER_TARGET s (log: $log)"
    "$DIR/tests/fuzz/plx_fuzz_$target" -max_total_time="$SECONDS_PER_TARGET" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "$ROOT/tests/fuzz/corpus/$target" >"$log" 2>&1
    rc=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    [ -n "$runs" ] || runs=$(sed -n 's/^#\([0-9]*\).*/\1/p' "$log" | tail -1)
    added=$(($(find "$corpus" -type f | wc -l) - before))
    found=$(grep -E '^(==[0-9]+==ERROR|SUMMARY: |.*runtime error:|.*expected .*|ALARM: working on the last Unit)' "$log" | head -3)
    line="$target: ${runs:-0} executions, $added new inputs"
    if [ $rc -ne 0 ]; then
        status=1
        line="$line, FINDING (exit $rc): $(grep -o 'Test unit written to .*' "$log" | tail -1)"
        echo "$found"
    else
        line="$line, no findings"
    fi
    echo "$line"
    summary+=("$line")
done
echo "== summary"
printf '%s\n' "${summary[@]}"
exit $status
