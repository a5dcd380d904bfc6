#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy over the C++ files of src/
# and fails on any finding. It reads the compile commands of build/
# (BUILD_DIR), configuring the dev preset first when there are none.
#
# Usage: tidy.sh                 every source file of src/
#        tidy.sh --changed BASE  only what differs from git revision BASE: each
#                                changed source file, and for a changed header
#                                the source file beside it (or else the first
#                                one that includes it), whose run checks it
# JOBS sets how many files are checked at once (default: the cores).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build=${BUILD_DIR:-build}
if [ ! -f "$build/compile_commands.json" ]; then
  if [ -n "${BUILD_DIR:-}" ]; then cmake --preset dev -B "$build" >/dev/null; else cmake --preset dev >/dev/null; fi
fi

sources=()
if [ "${1:-}" = --changed ]; then
  base=${2:?tidy.sh --changed needs a git revision}
  mapfile -t changed < <(git diff --name-only --diff-filter=d "$base" -- 'src/*.cpp' 'src/*.h')
  for file in "${changed[@]}"; do
    case $file in
      *.cpp) sources+=("$file") ;;
      *.h)
        if [ -f "${file%.h}.cpp" ]; then
          sources+=("${file%.h}.cpp")
        else
          includer=$(git grep -l -F "\"${file#src/}\"" -- 'src/*.cpp' | head -1 || true)
          [ -n "$includer" ] && sources+=("$includer")
        fi ;;
    esac
  done
  [ ${#sources[@]} -eq 0 ] && { echo "clang-tidy: no C++ file of src/ changed since $base"; exit 0; }
  mapfile -t sources < <(printf '%s\n' "${sources[@]}" | sort -u)
else
  mapfile -t sources < <(git ls-files 'src/*.cpp')
fi

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
start=$(date +%s)
# One report per file, shown whole and in order after the run. g++'s own
# warning flags mean nothing to clang, and its warnings are not the checks':
# only .clang-tidy decides what fails.
status=0
printf '%s\n' "${sources[@]}" | nl -w4 -n rz -s' ' \
  | xargs -P "${JOBS:-$(nproc)}" -L 1 sh -c 'clang-tidy -p "$0" --quiet --warnings-as-errors="*" \
      --extra-arg=-Wno-unknown-warning-option --extra-arg=-Wno-error "$3" >"$1/$2.log" 2>&1' "$build" "$logs" \
  || status=1
cat "$logs"/*.log \
  | grep -v -E '^[0-9]+ (warnings?|errors?) generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter|^[0-9]+ warnings? treated as errors?$' || true
echo "clang-tidy: ${#sources[@]} files in $(( $(date +%s) - start )) s, $( [ $status -eq 0 ] && echo 'no finding' || echo 'FINDINGS above')"
exit $status
