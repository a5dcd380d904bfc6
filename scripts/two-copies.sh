#!/usr/bin/env bash
# Runs two copies of the whole suite at the same time, as two checkouts or
# two CI jobs on one machine do: one user, one temporary directory, one home.
# Each copy runs from a folder of its own with its own ctest records, over
# the tests built once in build/ (BUILD_DIR). Fails when either copy fails,
# which is what a fixed scratch name or a shared settings file makes happen.
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
pids=()
for copy in 1 2; do
  mkdir "$runs/$copy"
  printf 'subdirs("%s")\n' "$build" >"$runs/$copy/CTestTestfile.cmake"
  (cd "$runs/$copy" && exec ctest --test-dir . --output-on-failure -j "$jobs" --timeout 300 >log 2>&1) &
  pids+=($!)
done

status=0
for copy in 1 2; do
  log=$runs/$copy/log
  if wait "${pids[$((copy - 1))]}"; then
    echo "copy $copy: $(grep -E 'tests passed' "$log" | tail -1)"
  else
    status=1
    echo "copy $copy FAILED: $(grep -E 'tests passed' "$log" | tail -1)"
    sed -n '/The following tests FAILED/,$p' "$log"
    grep -E -B2 -A20 '\*\*\*Failed|\*\*\*Timeout|\*\*\*Exception' "$log" | head -200 || true
  fi
done
exit $status
