#!/usr/bin/env bash
# Cost of one silent, successful hotfix run on the demo computer (see
# demo.sh), next to a bare program that makes only the platform calls the
# patch needs (bench/bench_bare_patch.cpp: two moves, two copies, the record
# key and its two values, the patch log line).
#
#   scripts/bench.sh [RUNS]      RUNS timed runs per figure, best taken (default 10)
#   PLX_BENCH_REGISTRY_MAX=100000 scripts/bench.sh
#                                leaves out the registry's 1,000,000-value row
#
# Figures: wall time of the whole process (best of RUNS) and instructions
# counted by valgrind's callgrind (one run), for the installer with logging
# off, the installer with every level and method traces on, and the bare
# program.  Every run starts from a fresh copy of the demo computer.
set -u -o pipefail

source "$(dirname "${BASH_SOURCE[0]}")/demo_machine.sh"
# An optimised build of its own: figures of a debug build say little.
BUILD=${PLX_BUILD_DIR:-$PLX_ROOT/build/bench}
export PLX_BUILD_TYPE=${PLX_BUILD_TYPE:-Release}
RUNS=${1:-10}

plx_prepare_build "$BUILD" valgrind || exit 1
cmake --build "$BUILD" --target bench_bare_patch || exit 1

work=$(mktemp -d /tmp/plx-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
plx_make_demo_machine "$work/template-off" "$BUILD"
cp "$BUILD/bench/bench_bare_patch" "$(plx_host_path "$work/template-off" 'C:\Users\Public\Downloads\')/"
cp -a "$work/template-off" "$work/template-on"
# Every level (0xFFFF), method traces on, entries to a text log file.
plx_add_registry "$work/template-on" \
    '[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\Orvane\Logs]' \
    '"Logging"=dword:00000001' \
    '"LogDetail"=dword:0000ffff' \
    '"DynamicLogging"=dword:00000001' \
    '"TextOutput"="C:\\ProgramData\\Orvane\\plxlog.txt"'
mkdir -p "$(plx_host_path "$work/template-on" 'C:\ProgramData\Orvane')"

machine=$work/machine
# run TEMPLATE PROGRAM [args]: one run on a fresh copy; prints its wall time in microseconds.
run_once() {
    local template=$1 program=$2
    shift 2
    rm -rf "$machine"
    cp -a "$template" "$machine"
    local dl start end
    dl=$(plx_host_path "$machine" 'C:\Users\Public\Downloads\')
    start=$(date +%s%N)
    (cd "$dl" && PLX_MACHINE=$machine "./$program" "$@" </dev/null >/dev/null 2>&1) || {
        echo "run of $program failed" >&2
        return 1
    }
    end=$(date +%s%N)
    echo $(((end - start) / 1000))
}

# check_patched: the run did the patch (record written, library replaced).
check_patched() {
    iconv -f UTF-16 -t UTF-8 "$machine/registry.reg" | grep -q 'Patch\\8106' &&
        [[ -f $(plx_host_path "$machine" "${PLX_DIR64}plxpwm_ie_com.dll.bak") ]]
}

best_of() {
    local best="" t i
    for ((i = 0; i < RUNS; i++)); do
        t=$(run_once "$@") || return 1
        check_patched || { echo "the run did not patch" >&2; return 1; }
        if [[ -z $best ]] || ((t < best)); then best=$t; fi
    done
    echo "$best"
}

instructions() {
    local template=$1 program=$2
    shift 2
    rm -rf "$machine"
    cp -a "$template" "$machine"
    local dl
    dl=$(plx_host_path "$machine" 'C:\Users\Public\Downloads\')
    (cd "$dl" && PLX_MACHINE=$machine valgrind --tool=callgrind --callgrind-out-file=/dev/null \
        "./$program" "$@" </dev/null 2>&1 >/dev/null) | sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}

printf '\n%-44s %14s %10s %16s %10s\n' "one silent successful run" "wall (best, us)" "to bare" "instructions" "to bare"
rows=("installer, logging off|$work/template-off|plxhotfix|/s"
      "installer, all levels and traces on|$work/template-on|plxhotfix|/s"
      "bare platform calls (bench_bare_patch)|$work/template-off|bench_bare_patch|")
# The bare program first: the installer's rows are shown as ratios to it.
IFS='|' read -r _ template program args <<<"${rows[2]}"
bare=$(instructions "$template" "$program" $args)
bareWall=$(best_of "$template" "$program" $args) || exit 1
for row in "${rows[@]}"; do
    IFS='|' read -r label template program args <<<"$row"
    if [[ $program == bench_bare_patch ]]; then
        wall=$bareWall  # measured once, first: the ratios are to that figure
    else
        wall=$(best_of "$template" "$program" $args) || exit 1
    fi
    ins=$(instructions "$template" "$program" $args)
    ratio="?"
    [[ -n $ins && -n $bare && $bare -gt 0 ]] && ratio=$(awk -v a="$ins" -v b="$bare" 'BEGIN { printf "%.1fx", a / b }')
    wallRatio=$(awk -v a="$wall" -v b="$bareWall" 'BEGIN { printf "%.1fx", a / b }')
    printf '%-44s %14s %10s %16s %10s\n' "$label" "$wall" "$wallRatio" "${ins:-?}" "$ratio"
    log=$(plx_host_path "$machine" 'C:\ProgramData\Orvane\plxlog.txt')
    if [[ -f $log ]]; then
        printf '%-44s %s\n' "" "(diagnostic log of that run: $(iconv -f UTF-16 -t UTF-8 "$log" | wc -l) lines)"
    fi
done
echo "(targets: at most 1.5x with logging off, 5x with everything on)"
echo
echo "(runs per wall-time figure: $RUNS; machine copies under $work, removed at exit)"

echo
echo "== the registry text format: export and import of N values (the time per value should stay flat)"
cmake --build "$BUILD" --target bench_registry_text >/dev/null || exit 1
"$BUILD/bench/bench_registry_text" 10000

echo
echo "== the registry's scaling: load, changes and exit of a process on registries of 100 to 1,000,000 values"
echo "   (PLX_BENCH_REGISTRY_MAX=100000 leaves out the 1,000,000-value row)"
cmake --build "$BUILD" --target bench_registry >/dev/null || exit 1
"$BUILD/bench/bench_registry" ${PLX_BENCH_REGISTRY_MAX:+"$PLX_BENCH_REGISTRY_MAX"}
