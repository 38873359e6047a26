#!/usr/bin/env bash
# Fails when a C or C++ file differs from .clang-format. With a git revision
# argument only the files changed since that revision are checked; without one,
# every tracked file (the whole tree was formatted once, so this stays cheap).
# Usage: ./scripts/check-format.sh [since-revision]
set -euo pipefail
cd "$(dirname "$0")/.."
FORMAT=$(command -v clang-format-14 || command -v clang-format)
if [ $# -gt 0 ]; then
    mapfile -t files < <(git diff --name-only --diff-filter=ACMR "$1" -- '*.cpp' '*.h' '*.c')
else
    mapfile -t files < <(git ls-files -- '*.cpp' '*.h' '*.c')
fi
[ ${#files[@]} -eq 0 ] && exit 0
"$FORMAT" --dry-run -Werror "${files[@]}"
echo "format: ${#files[@]} files match .clang-format"
