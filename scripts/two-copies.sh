#!/usr/bin/env bash
# Runs two copies of the whole suite at the same time, as two checkouts or
# two CI jobs on one machine do: one user, one temporary directory, one home.
# Each copy runs from a folder of its own with its own ctest records, over
# tests built beforehand. Fails when either copy fails, which is what a fixed
# scratch name or a shared settings file makes happen. The second copy runs
# under a decimal comma (see below).
#
# Without options both copies run the tests of build/ (BUILD_DIR), half the
# cores each. --sanitized: the first copy is the sanitized suite instead,
# built into build-sanitize/ (SANITIZE_DIR) and run as scripts/test.sh
# --sanitize runs it, and each copy may use every core: CI's run of the
# sanitized tests and its second copy in one step, the cores kept busy until
# the longer copy ends.
set -euo pipefail
cd "$(dirname "$0")/.."
sanitized=false
[ "${1:-}" = --sanitized ] && sanitized=true
bash scripts/build.sh
build=$(realpath "${BUILD_DIR:-build}")
export QT_QPA_PLATFORM=offscreen

first=$build
first_env=()
first_timeout=300
jobs=$(( ($(nproc) + 1) / 2 ))
if $sanitized; then
  PRESET=sanitize BUILD_DIR=${SANITIZE_DIR:-build-sanitize} bash scripts/build.sh
  first=$(realpath "${SANITIZE_DIR:-build-sanitize}")
  # Only the sanitized copy runs with the sanitizers' options.
  mapfile -t first_env < <(source scripts/sanitizer-env.sh && env | grep -E '^(ASAN|LSAN|UBSAN)_OPTIONS=')
  first_timeout=900
  jobs=$(nproc)
fi

runs=$(mktemp -d)
trap 'rm -rf "$runs"' EXIT
# The test lists are discovered once, before both copies read them.
ctest --test-dir "$build" -N >/dev/null
env "${first_env[@]}" ctest --test-dir "$first" -N >/dev/null
# The second copy runs under a locale that writes a decimal comma, when the
# machine has it (scripts/install-deps.sh generates it): what the programs
# print must follow the locale, and what the tests check must not assume a
# point.
second_locale=()
if locale -a 2>/dev/null | grep -qix 'de_DE.utf8'; then
  second_locale=(LC_ALL=de_DE.UTF-8)
fi
pids=()
for copy in 1 2; do
  mkdir "$runs/$copy"
  if [ "$copy" = 1 ]; then
    tree=$first
    copy_env=("${first_env[@]}")
    timeout=$first_timeout
  else
    tree=$build
    copy_env=("${second_locale[@]}")
    timeout=300
  fi
  printf 'subdirs("%s")\n' "$tree" >"$runs/$copy/CTestTestfile.cmake"
  (cd "$runs/$copy" && exec env "${copy_env[@]}" ctest --test-dir . --output-on-failure -j "$jobs" --timeout "$timeout" >log 2>&1) &
  pids+=($!)
done

status=0
for copy in 1 2; do
  log=$runs/$copy/log
  label=$copy
  [ "$copy" = 1 ] && $sanitized && label="1 (sanitized)"
  [ "$copy" = 2 ] && [ ${#second_locale[@]} -gt 0 ] && label="2 (${second_locale[0]#LC_ALL=})"
  if wait "${pids[$((copy - 1))]}"; then
    echo "copy $label: $(grep -E 'tests passed' "$log" | tail -1)"
  else
    status=1
    echo "copy $label FAILED: $(grep -E 'tests passed' "$log" | tail -1)"
    sed -n '/The following tests FAILED/,$p' "$log"
    grep -E -B2 -A20 '\*\*\*Failed|\*\*\*Timeout|\*\*\*Exception' "$log" | head -200 || true
  fi
done
exit $status
