#!/usr/bin/env bash
# Shows the registry text format on the demo computer: builds the example
# examples/registry_text.cpp, creates the demo computer (as scripts/demo.sh
# does) with a few more values of every type the format carries, and runs the
# example there.  It exports HKLM\SOFTWARE\Orvane (the 32-bit view of the
# 32-bit program: SOFTWARE\WOW6432Node\Orvane), imports the tree again under
# SOFTWARE\Orvane Copy and prints both text files.
#
#   scripts/example.sh [MACHINE_DIR]
set -u -o pipefail

source "$(dirname "${BASH_SOURCE[0]}")/demo_machine.sh"
BUILD=${PLX_BUILD_DIR:-$PLX_ROOT/build/native}
machine=$(realpath -m "${1:-$(mktemp -d /tmp/plx-example.XXXXXX)}")

plx_prepare_build "$BUILD" || exit 1
cmake --build "$BUILD" --target plx_example_registry_text || exit 1

echo "== demo computer in $machine"
plx_make_demo_machine "$machine" "$BUILD"
mkdir -p "$(plx_host_path "$machine" 'C:\Users\Public\Documents')"
plx_add_registry "$machine" \
    '[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\Orvane\Example]' \
    '"Grüße"="Тест ∑ \"quoted\""' \
    '"Search"=hex(2):25,00,50,00,55,00,42,00,4c,00,49,00,43,00,25,00,5c,00,78,00,00,00' \
    '"Names"=hex(7):61,00,00,00,62,00,63,00,00,00,00,00' \
    '"Blob"=hex:00,01,fe' \
    '"Count"=dword:0000002a' \
    '[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\Orvane\Example\Empty]'

echo "== PLX_MACHINE=$machine $BUILD/examples/plx_example_registry_text"
PLX_MACHINE=$machine "$BUILD/examples/plx_example_registry_text"
