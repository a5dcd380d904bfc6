#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang, libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer into build-fuzz/ (the fuzz preset), then runs them one after
# another, each for SECONDS_PER_TARGET seconds (default 60), and prints each
# target's executions, coverage and time.
#
# Usage: fuzz.sh [SECONDS_PER_TARGET] [TARGET...]   (no TARGET: all of them,
# as fuzz/FuzzTargets.def lists them; only the targets run are built)
# FUZZ_RUNS=N stops a target after N inputs if that comes first.
#
# Inputs that reach new code are kept in build-fuzz/corpus/TARGET; an input
# that crashes, leaks, times out or asks for too much memory is written to
# build-fuzz/artifacts/TARGET/ and the script ends with status 1. Such an
# input goes into tests/data/fuzz-regressions/TARGET/ with its fix.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
[ $# -gt 0 ] && shift
mapfile -t all < <(sed -n 's/^KESTRAVA_FUZZ_TARGET(\([a-z0-9_]*\),.*/\1/p' fuzz/FuzzTargets.def)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all[@]}")
for target in "${targets[@]}"; do
  [[ " ${all[*]} " == *" $target "* ]] || { echo "no fuzz target $target (fuzz/FuzzTargets.def: ${all[*]})"; exit 2; }
done
build=${FUZZ_BUILD_DIR:-build-fuzz}

bash scripts/install-deps.sh
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j "${JOBS:-$(nproc)}" --target "${targets[@]/#/fuzz_}"

# The readers' scratch files in memory rather than on disk.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  export TMPDIR=/dev/shm
fi
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# AddressSanitizer's quarantine of freed memory is 256 MB by default, the
# whole memory limit: a smaller one keeps the limit for the readers.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:quarantine_size_mb=32}
# The HTTP target serves its replies on 127.0.0.1 as every request's proxy.
unset http_proxy https_proxy HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY

status=0
report=()
for target in "${targets[@]}"; do
  program=$build/fuzz/fuzz_$target
  [ -x "$program" ] || { echo "no fuzz target $target"; exit 2; }
  corpus=$build/corpus/$target
  artifacts=$build/artifacts/$target/
  log=$build/logs/$target.log
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
  # 256 MB bounds each allocation. The process as a whole keeps libFuzzer's
  # own limit: under AddressSanitizer its resident memory creeps up over
  # hundreds of thousands of inputs (the same inputs in a plain build stay
  # flat), which says nothing of the reader.
  options=(-timeout=1 -rss_limit_mb=2048 -malloc_limit_mb=256 -max_total_time="$seconds"
           -print_final_stats=1 -artifact_prefix="$artifacts")
  [ -n "${FUZZ_RUNS:-}" ] && options+=(-runs="$FUZZ_RUNS")
  [ -f "fuzz/dictionaries/$target.dict" ] && options+=(-dict="fuzz/dictionaries/$target.dict")
  # A position file's damage can lie in its depth: 100,000 nested lists take
  # 200 KB, far beyond the inputs libFuzzer grows by itself.
  [ "$target" = positionfile ] && options+=(-max_len=262144)
  # Its seeds are whole days of quotes (1.5 MB); their head and first rows,
  # which libFuzzer keeps of them, hold every kind of line.
  [ "$target" = delayedquotes ] && options+=(-max_len=4096)

  echo "== $target: up to $seconds s"
  start=$(date +%s)
  result=passed
  "$program" "${options[@]}" "$corpus" "fuzz/corpus/$target" >"$log" 2>&1 || { result=FAILED; status=1; }
  elapsed=$(( $(date +%s) - start ))
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  coverage=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1)
  line=$(printf '%-15s %12s inputs  %-22s %6s s  %s' "$target" "${runs:-?}" "${coverage:-cov: ?}" "$elapsed" "$result")
  echo "$line"
  report+=("$line")
  if [ "$result" = FAILED ]; then
    grep -E 'ERROR|SUMMARY|^[a-z].*( |:) ' "$log" | head -20 || true
    echo "see $log and $artifacts"
  fi
done

echo
echo "target          executions         coverage            time   result"
printf '%s\n' "${report[@]}"
exit $status
