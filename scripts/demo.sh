#!/usr/bin/env bash
# Runs the hotfix installer on a simulated Windows 7 x64 computer that has the
# Vaultline Security Suite 8.30.20.0 installed, then shows what it changed.
#
#   scripts/demo.sh [MACHINE_DIR] [installer arguments, e.g. /s]
#
# MACHINE_DIR is created with the demo computer when it does not exist yet
# (default: a fresh temporary directory); give the same directory again to run
# the installer a second time on the same computer.  In a terminal the message
# boxes are asked there; without one, a box has no answer (0).
set -u -o pipefail

source "$(dirname "${BASH_SOURCE[0]}")/demo_machine.sh"
BUILD=${PLX_BUILD_DIR:-$PLX_ROOT/build/native}

machine=""
# The first argument is the machine directory unless it is a switch ("-x", "/s").
if (($# > 0)) && [[ $1 != -* ]] && ! [[ $1 == /* && ${#1} -le 3 ]]; then
    machine=$1
    shift
fi
if [[ -z $machine ]]; then
    machine=$(mktemp -d /tmp/plx-demo.XXXXXX)
fi
machine=$(realpath -m "$machine")

plx_prepare_build "$BUILD" || exit 1

if [[ ! -f $machine/machine.ini ]]; then
    echo "== new demo computer in $machine"
    plx_make_demo_machine "$machine" "$BUILD"
else
    echo "== demo computer $machine (kept from an earlier run)"
fi

downloads=$(plx_host_path "$machine" 'C:\Users\Public\Downloads\')
screen_before=0
[[ -f $machine/screen.log ]] && screen_before=$(wc -l <"$machine/screen.log")

echo "== running C:\\Users\\Public\\Downloads\\plxhotfix $*"
(cd "$downloads" && PLX_MACHINE=$machine ./plxhotfix "$@")
echo "   exit code $?"

# ------------------------------------------------------------------ what changed
version_of() {
    # The file version as the library's version resource states it.
    strings -el "$1" | grep -A1 -x FileVersion | tail -n1
}

echo
echo "== message boxes of this run (screen.log)"
shown=$(tail -n +"$((screen_before + 1))" "$machine/screen.log" 2>/dev/null)
if [[ -n $shown ]]; then sed 's/^/   /' <<<"$shown"; else echo "   (none)"; fi

echo
echo "== add-on libraries"
for dir in "$PLX_DIR64" "$PLX_DIR32"; do
    host=$(plx_host_path "$machine" "$dir")
    for name in plxpwm_ie_com.dll plxpwm_ie_com.dll.bak; do
        if [[ -f $host/$name ]]; then
            printf '   %-80s %s\n' "$dir$name" "$(version_of "$host/$name")"
        else
            printf '   %-80s %s\n' "$dir$name" "(none)"
        fi
    done
done

echo
echo "== patch record (registry, 32-bit view)"
iconv -f UTF-16 -t UTF-8 "$machine/registry.reg" | tr -d '\r' |
    awk '/^\[/ { show = ($0 ~ /\\Patch\\/) } show { print "   " $0 }'
iconv -f UTF-16 -t UTF-8 "$machine/registry.reg" | grep -q '\\Patch\\' || echo "   (none)"
# "updated" decoded: the REG_MULTI_SZ strings, one per line.
hex=$(iconv -f UTF-16 -t UTF-8 "$machine/registry.reg" | tr -d '\r' |
    awk '/^\[/ { show = ($0 ~ /\\Patch\\8106\]/) } show && /^"updated"=hex\(7\):/ { on = 1 }
         on { print; if ($0 !~ /\\$/) on = 0 }' | sed 's/^"updated"=hex(7)://; s/[ ,\\]//g' | tr -d '\n')
if [[ -n $hex ]]; then
    echo "   updated, decoded:"
    printf "$(sed 's/\(..\)/\\x\1/g' <<<"$hex")" | iconv -f UTF-16LE -t UTF-8 | tr '\0' '\n' |
        sed '/^$/d; s/^/     "/; s/$/"/'
fi

echo
log=$(plx_host_path "$machine" "${PLX_DIR32}patchlog8106.txt")
echo "== patch log ${PLX_DIR32}patchlog8106.txt"
if [[ -f $log ]]; then
    iconv -f UTF-16 -t UTF-8 "$log" | tr -d '\r' | sed 's/^/   /'
else
    echo "   (none)"
fi
echo
echo "Run again on the same computer: $0 $machine $*"
