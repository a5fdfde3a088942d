#!/bin/bash
# Lays out every C++ source of the tree as .clang-format says (Debian's
# clang-format 14, the version the test command checks with).
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format -i
