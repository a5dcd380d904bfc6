#!/usr/bin/env bash
# Fails on any C++ line that clang-format would change (the style is
# .clang-format at the top of the tree). --fix rewrites the files instead.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || bash scripts/install-deps.sh
mapfile -t files < <(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'scripts/*.cpp' 'scripts/*.h' \
  'bench/*.cpp' 'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h')
if [ "${1:-}" = --fix ]; then
  clang-format -i "${files[@]}"
  exit
fi
clang-format --dry-run --Werror "${files[@]}"
echo "clang-format: ${#files[@]} files as they should be"
