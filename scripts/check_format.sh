#!/usr/bin/env bash
# Fails when a C++ source of the tree is not laid out as .clang-format says
# (Debian 12's clang-format, the one the bootstrap installs). To fix the
# tree: the same file list through `clang-format -i`.
set -euo pipefail
cd "$(dirname "$0")/.."
KORVEL_BOOTSTRAP_EXTRA="clang-format" scripts/bootstrap.sh
find app bench cli engine fuzz run settings tests ui \( -name '*.cpp' -o -name '*.h' \) -print0 |
  xargs -0 clang-format --dry-run -Werror
echo "format: every C++ source as .clang-format lays it out"
