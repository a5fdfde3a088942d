#!/usr/bin/env bash
# Builds the three builds and runs every test suite three ways:
#   build/native  Linux, the simulated Windows machine   -> ctest (x64 and x86 machines)
#   build/win64   Windows x64 (MinGW-w64)                -> each tests/*.exe under wine64,
#                                                           a 64-bit process in a 64-bit prefix
#   build/win32   Windows x86, the shipped product       -> each tests/*.exe under Wine's
#                                                           32-bit loader in a 64-bit prefix
#                                                           (WOW64), and the conformance suite
#                                                           and x86 scenarios in a 32-bit prefix
# The installer's end-to-end scenarios run on simulated machines and, with the
# shipped plxhotfix.exe, under Wine (message boxes answered under Xvfb); each
# Wine run must end in the same files and registry as the simulated one.
# Installs what a fresh Debian machine lacks first (needs root for that).
# Where the kernel runs no 32-bit code, the x86 build is still made and its
# installer's imports checked, but its runs under Wine are counted as skipped.
# Ends with one summary line "Summary: N passed, M failed, K skipped" and
# exits non-zero when any build or test failed.
set -u -o pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
JOBS=${PLX_JOBS:-2}
TEST_TIMEOUT=${PLX_TEST_TIMEOUT:-600}
START=$(date +%s)

passed=0
failed=0
skipped=0
problems=()

note_problem() {
    problems+=("$1")
    failed=$((failed + 1))
    echo "*** FAILED: $1"
}

# ------------------------------------------------------------------ tools
# install_missing PACKAGE...: installs those that are not installed yet.
install_missing() {
    local pkg missing=()
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    ((${#missing[@]})) || return 0
    echo "== installing: ${missing[*]}"
    if [[ $(id -u) -ne 0 ]]; then
        echo "missing packages (${missing[*]}) and not root: install them with apt-get" >&2
        return 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    # An index that fails to download (a mirror in sync) leaves apt the ones it had.
    apt-get update -q || echo "(apt-get update reported an error; installing from the indexes it has)"
    apt-get install -y -q --no-install-recommends "${missing[@]}"
}

install_missing cmake ninja-build g++ googletest g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix \
    binutils-mingw-w64 wine64 xvfb clang-format || exit 2

# Whether this machine's kernel executes 32-bit x86 code at all: some run
# 64-bit code only (dmesg: "32-bit emulation disabled"), and nothing inside
# the machine can change that.  A five-instruction i386 program tells.
runs_32bit_code() {
    local dir status
    dir=$(mktemp -d)
    printf '.globl _start\n_start:\n movl $1, %%eax\n xorl %%ebx, %%ebx\n int $0x80\n' >"$dir/exit.s"
    as --32 -o "$dir/exit.o" "$dir/exit.s" && ld -m elf_i386 -o "$dir/exit" "$dir/exit.o" && "$dir/exit" 2>/dev/null
    status=$?
    rm -rf "$dir"
    return $status
}

WINE64=/usr/lib/wine/wine64
WINE32=/usr/lib/wine/wine
NO_32BIT_REASON="the kernel of this machine runs no 32-bit code (ia32 emulation is off), so the WOW64 and x86 checks under Wine did not run here"
if runs_32bit_code; then
    RUNS_32BIT=1
    # Wine's 32-bit loader (wine32) comes from the i386 architecture.
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386 || exit 2
    install_missing wine32:i386 || exit 2
    echo "== this machine runs 32-bit code: the Windows x86 build runs under Wine's 32-bit loader"
else
    RUNS_32BIT=0
    echo "== this machine runs no 32-bit code: $NO_32BIT_REASON"
fi

# ------------------------------------------------------------------ format
# Every C++ source as .clang-format lays it out (scripts/format.sh applies it).
mkdir -p "$ROOT/build"
echo "== format (clang-format $(clang-format --version | sed -n 's/.*version \([0-9.]*\).*/\1/p'))"
if (cd "$ROOT" && git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror) >"$ROOT/build/format.log" 2>&1; then
    passed=$((passed + 1))
else
    grep -m 20 'error:' "$ROOT/build/format.log"
    note_problem "format: files differ from .clang-format (scripts/format.sh fixes them; build/format.log)"
fi

# ------------------------------------------------------------------ builds
declare -A BUILD_OK
build() {
    local name=$1
    shift
    local dir=$ROOT/build/$name
    echo "== configure $name"
    if ! cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug "$@" >"$dir.configure.log" 2>&1; then
        cat "$dir.configure.log"
        note_problem "configure $name"
        BUILD_OK[$name]=0
        return
    fi
    echo "== build $name"
    if ! cmake --build "$dir" -j "$JOBS"; then
        note_problem "build $name"
        BUILD_OK[$name]=0
        return
    fi
    BUILD_OK[$name]=1
}

mkdir -p "$ROOT/build"
build native
build win64 -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-x86_64-mingw.cmake"
build win32 -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-i686-mingw.cmake"

# Adds one GoogleTest run's counts (its output in $1) to the totals; a run that
# failed without naming failed tests (a crash, a timeout) counts as one failure.
count_gtest() {
    local log=$1 status=$2 what=$3
    local p f s
    p=$(sed -n 's/^\(.*: \)\?\[  PASSED  \] \([0-9]*\) tests\?\..*/\2/p' "$log" | awk '{n+=$1} END {print n+0}')
    f=$(sed -n 's/^\(.*: \)\?\[  FAILED  \] \([0-9]*\) tests\?, listed below.*/\2/p' "$log" | awk '{n+=$1} END {print n+0}')
    s=$(sed -n 's/^\(.*: \)\?\[  SKIPPED \] \([0-9]*\) tests\?, listed below.*/\2/p' "$log" | awk '{n+=$1} END {print n+0}')
    passed=$((passed + p))
    skipped=$((skipped + s))
    if ((f > 0)); then
        failed=$((failed + f))
        problems+=("$what: $f failed test(s)")
    elif ((status != 0)); then
        note_problem "$what (exit status $status without a failed test: crash or timeout)"
    fi
}

# ------------------------------------------------------------------ native tests
SNAPSHOTS=$ROOT/build/native/e2e-snapshots
if [[ ${BUILD_OK[native]} == 1 ]]; then
    echo "== native tests (ctest)"
    rm -rf "$SNAPSHOTS" && mkdir -p "$SNAPSHOTS"
    log=$ROOT/build/native/ctest.log
    ctest --test-dir "$ROOT/build/native" -j "$JOBS" --timeout "$TEST_TIMEOUT" -V >"$log" 2>&1
    status=$?
    # The full output is in the log; show the results and whatever failed.
    grep -E '^[0-9]+: \[  (FAILED|SKIPPED) |^[0-9]+: .*: Failure$|^[0-9]+: \[ sweep +\]|tests passed|Test +#' "$log" || true
    ntests=$(grep -cE 'Test +#[0-9]+: ' "$log" || true)
    if ((ntests == 0)); then
        note_problem "native: ctest ran no test executable"
    else
        count_gtest "$log" "$status" "native ctest"
    fi
fi

# ------------------------------------------------------------------ under Wine
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Only the installer's scenarios get a display (see run_scenarios): a message
# box in any other suite must fail at once, not wait for an answer.
unset DISPLAY

# A host path as Wine names it (drive Z: is the host's root).
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

# new_prefix ARCH: a fresh Wine prefix (win64 or win32) in $WINEPREFIX.
new_prefix() {
    WINEPREFIX=$(mktemp -d /tmp/plx-wine.XXXXXX)
    export WINEPREFIX
    echo "== Wine prefix $WINEPREFIX ($1)"
    WINEARCH=$1 timeout 300 "$( [[ $1 == win32 ]] && echo "$WINE32" || echo "$WINE64")" wineboot -i \
        >/dev/null 2>&1 || echo "(wineboot reported an error; the first test run initialises the prefix)"
}

drop_prefix() {
    /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
}

# run_wine LABEL LOADER EXE [ARGS...]: one test executable in the current prefix.
run_wine() {
    local label=$1 loader=$2 exe=$3
    shift 3
    local name log status
    name=$(basename "$exe" .exe)
    log=${exe%.exe}.$label.log
    echo "== $label $name $*"
    (cd "$(dirname "$exe")" && timeout "$TEST_TIMEOUT" "$loader" "$exe" "$@") >"$log" 2>&1
    status=$?
    grep -E '^\[  (PASSED|FAILED|SKIPPED) |: Failure' "$log" || true
    count_gtest "$log" "$status" "$label $name"
}

# A display for Wine's message boxes in the installer's scenarios.
XVFB_PID=
XVFB_DISPLAY=
start_display() {
    local n
    for n in $(seq 90 120); do
        [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        sleep 1
        if kill -0 "$XVFB_PID" 2>/dev/null; then
            XVFB_DISPLAY=:$n
            return 0
        fi
    done
    return 1
}
trap '[[ -n $XVFB_PID ]] && kill "$XVFB_PID" 2>/dev/null' EXIT

# run_scenarios LABEL FILTER: the installer's scenarios of one computer kind.
run_scenarios() {
    local label=$1 filter=$2 exe=$ROOT/build/win32/tests/plx_hotfix_e2e.exe
    local kept=$ROOT/build/win32/e2e-snapshots-$label
    if [[ ! -x $exe ]]; then
        note_problem "$label: plx_hotfix_e2e.exe not built"
        return
    fi
    if [[ -z $XVFB_DISPLAY ]] && ! start_display; then
        note_problem "$label: no display for Wine's message boxes (Xvfb)"
        return
    fi
    rm -rf "$kept" && mkdir -p "$kept"
    # A desktop that Wine started without a display (wineboot, the suites
    # before) would fail every message box: start the prefix afresh.
    /usr/lib/wine/wineserver -k >/dev/null 2>&1
    /usr/lib/wine/wineserver -w >/dev/null 2>&1
    DISPLAY=$XVFB_DISPLAY PLX_E2E_SNAPSHOTS=$(winpath "$kept") PLX_E2E_COMPARE=$(winpath "$SNAPSHOTS") \
        run_wine "$label" "$WINE32" "$exe" "--gtest_filter=$filter"
}

if [[ ${BUILD_OK[win64]} == 1 ]]; then
    shopt -s nullglob
    exes=("$ROOT"/build/win64/tests/*.exe)
    shopt -u nullglob
    if ((${#exes[@]} == 0)); then
        note_problem "win64: no test executable built"
    else
        new_prefix win64
        for exe in "${exes[@]}"; do run_wine wine64 "$WINE64" "$exe"; done
        drop_prefix
    fi
fi

# skip_run LABEL NAME: a 32-bit run this machine cannot make, counted as skipped.
skip_run() {
    echo "== $1 $2: skipped (no 32-bit code on this machine)"
    skipped=$((skipped + 1))
    skipped_32bit=$((skipped_32bit + 1))
}
skipped_32bit=0

if [[ ${BUILD_OK[win32]} == 1 ]]; then
    shopt -s nullglob
    exes=("$ROOT"/build/win32/tests/*.exe)
    shopt -u nullglob
    if ((${#exes[@]} == 0)); then
        note_problem "win32: no test executable built"
    elif ((RUNS_32BIT == 0)); then
        for exe in "${exes[@]}"; do
            [[ $(basename "$exe") == plx_hotfix_e2e.exe ]] && continue
            skip_run wow64 "$(basename "$exe" .exe)"
        done
        skip_run wow64 "plx_hotfix_e2e (x64 scenarios)"
        skip_run x86 plx_conformance
        skip_run x86 "plx_hotfix_e2e (x86 scenarios)"
    else
        # 32-bit processes on 64-bit Windows, as the shipped program runs.
        if ! "$WINE32" --version >/dev/null 2>&1; then
            note_problem "win32: Wine's 32-bit loader $WINE32 does not start although this machine runs 32-bit code"
        fi
        new_prefix win64
        for exe in "${exes[@]}"; do
            [[ $(basename "$exe") == plx_hotfix_e2e.exe ]] && continue
            run_wine wow64 "$WINE32" "$exe"
        done
        run_scenarios wow64 '*HotfixX64*'
        drop_prefix
        # And on 32-bit Windows: one registry view, no WOW64.
        new_prefix win32
        run_wine x86 "$WINE32" "$ROOT/build/win32/tests/plx_conformance.exe"
        run_scenarios x86 '*HotfixX86*'
        drop_prefix
    fi
fi

# ------------------------------------------------------------------ the shipped installer
# Compiled only; its import table and manifest are checked (no version.dll import).
if [[ ${BUILD_OK[win32]} == 1 ]]; then
    echo "== win32 plxhotfix.exe imports and manifest"
    if ctest --test-dir "$ROOT/build/win32" -R '^plxhotfix_imports$' --output-on-failure >"$ROOT/build/win32/imports.log" 2>&1 &&
        grep -q '0 tests failed out of 1$' "$ROOT/build/win32/imports.log"; then
        passed=$((passed + 1))
    else
        cat "$ROOT/build/win32/imports.log"
        note_problem "win32 plxhotfix.exe imports"
    fi
fi

# ------------------------------------------------------------------ summary
elapsed=$(($(date +%s) - START))
echo
echo "== done in $((elapsed / 60))m$((elapsed % 60))s"
for p in "${problems[@]}"; do
    echo "   failed: $p"
done
((skipped_32bit > 0)) && echo "   skipped: $skipped_32bit runs under Wine's 32-bit loader: $NO_32BIT_REASON"
echo "Summary: $passed passed, $failed failed, $skipped skipped"
((failed == 0))
