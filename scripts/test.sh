#!/usr/bin/env bash
# Builds the three builds and runs every test suite:
#   build/native  Linux, the simulated Windows machine    -> ctest
#   build/win64   Windows x64 (MinGW-w64)                 -> each tests/*.exe under Wine
#   build/win32   Windows x86, the shipped product        -> compiled only
# Installs what a fresh Debian machine lacks first (needs root for that).
# Ends with one summary line "Summary: N passed, M failed, K skipped" and
# exits non-zero when any build or test failed.
set -u -o pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
JOBS=${PLX_JOBS:-2}
TEST_TIMEOUT=${PLX_TEST_TIMEOUT:-600}
WINE=/usr/lib/wine/wine64
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
PACKAGES=(cmake ninja-build g++ googletest g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
          binutils-mingw-w64 wine64)
missing=()
for pkg in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$pkg")
    fi
done
if ((${#missing[@]})); then
    echo "== installing: ${missing[*]}"
    if [[ $(id -u) -ne 0 ]]; then
        echo "missing packages (${missing[*]}) and not root: install them with apt-get" >&2
        exit 2
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q || exit 2
    apt-get install -y -q --no-install-recommends "${missing[@]}" || exit 2
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
if [[ ${BUILD_OK[native]} == 1 ]]; then
    echo "== native tests (ctest)"
    log=$ROOT/build/native/ctest.log
    ctest --test-dir "$ROOT/build/native" -j "$JOBS" --timeout "$TEST_TIMEOUT" -V >"$log" 2>&1
    status=$?
    # The full output is in the log; show the results and whatever failed.
    grep -E '^[0-9]+: \[  (FAILED|SKIPPED) |^[0-9]+: .*: Failure$|tests passed|Test +#' "$log" || true
    ntests=$(grep -cE 'Test +#[0-9]+: ' "$log" || true)
    if ((ntests == 0)); then
        note_problem "native: ctest ran no test executable"
    else
        count_gtest "$log" "$status" "native ctest"
    fi
fi

# ------------------------------------------------------------------ Windows x64 tests under Wine
if [[ ${BUILD_OK[win64]} == 1 ]]; then
    shopt -s nullglob
    exes=("$ROOT"/build/win64/tests/*.exe)
    shopt -u nullglob
    if ((${#exes[@]} == 0)); then
        note_problem "win64: no test executable built"
    else
        WINEPREFIX=$(mktemp -d /tmp/plx-wine.XXXXXX)
        export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
        echo "== Wine prefix $WINEPREFIX"
        timeout 300 "$WINE" wineboot -i >/dev/null 2>&1 || echo "(wineboot reported an error; the first test run initialises the prefix)"
        for exe in "${exes[@]}"; do
            name=$(basename "$exe")
            log=$ROOT/build/win64/tests/${name%.exe}.wine.log
            echo "== wine64 $name"
            (cd "$(dirname "$exe")" && timeout "$TEST_TIMEOUT" "$WINE" "$exe") >"$log" 2>&1
            status=$?
            grep -E '^\[  (PASSED|FAILED|SKIPPED) |: Failure' "$log" || true
            count_gtest "$log" "$status" "win64 $name"
        done
        "${WINE%/*}/wineserver" -k >/dev/null 2>&1 || true
        rm -rf "$WINEPREFIX"
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
echo "Summary: $passed passed, $failed failed, $skipped skipped"
((failed == 0))
