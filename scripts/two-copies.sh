#!/usr/bin/env bash
# Runs two copies of the whole suite at the same time, as two checkouts or
# two CI jobs on one machine do: one user, one temporary directory, one home.
# Each copy runs from a folder of its own with its own ctest records, over
# the tests built once in build/ (BUILD_DIR). Fails when either copy fails,
# which is what a fixed scratch name or a shared settings file makes happen.
# The second copy runs under a decimal comma (see below).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
build=$(realpath "${BUILD_DIR:-build}")
export QT_QPA_PLATFORM=offscreen

runs=$(mktemp -d)
trap 'rm -rf "$runs"' EXIT
# The test lists are discovered once, before both copies read them.
ctest --test-dir "$build" -N >/dev/null
# Half the cores each: the same tests run in step in both copies.
jobs=$(( ($(nproc) + 1) / 2 ))
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
  printf 'subdirs("%s")\n' "$build" >"$runs/$copy/CTestTestfile.cmake"
  locale_env=()
  [ "$copy" = 2 ] && locale_env=("${second_locale[@]}")
  (cd "$runs/$copy" && exec env "${locale_env[@]}" ctest --test-dir . --output-on-failure -j "$jobs" --timeout 300 >log 2>&1) &
  pids+=($!)
done

status=0
for copy in 1 2; do
  log=$runs/$copy/log
  label=$copy
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
