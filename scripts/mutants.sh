#!/usr/bin/env bash
# Plants the faults listed in tests/mutants/ one at a time, rebuilds, runs the
# whole suite against each and reports which the suite caught (killed) and
# which it did not (survived). A mutant whose search text is no longer in its
# file, or is there more than once, "does not apply"; one that does not
# compile "does not build". The source file is restored after each mutant,
# also when the run is stopped.
#
# Usage: mutants.sh [--check] [MUTANT...]   (names of tests/mutants/*.mutant;
#        none: all). --check only tells whether each mutant applies.
# It builds into build-mutants/ (BUILD_DIR overrides) with the dev preset,
# without the benchmarks. BUILD_LOCK=FILE holds that lock (flock) while a
# mutant is built and tested. While a mutant is planted its file in the source tree
# is changed: build nothing else from this tree meanwhile.
#
# A mutant file: comment lines (#) saying what fault it is, then
#   file: PATH/FROM/THE/TOP
#   <<<<
#   the exact text to find, one or more lines
#   ====
#   the text to put in its place
#   >>>>
set -euo pipefail
# A replacement text's "&" is itself, not the text it replaces.
shopt -u patsub_replacement 2>/dev/null || true
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-mutants}
export QT_QPA_PLATFORM=offscreen

check_only=false
if [ "${1:-}" = --check ]; then
  check_only=true
  shift
fi
mutants=()
if [ $# -eq 0 ]; then
  mutants=(tests/mutants/*.mutant)
else
  for name in "$@"; do mutants+=("tests/mutants/${name%.mutant}.mutant"); done
fi

locked() {
  if [ -n "${BUILD_LOCK:-}" ]; then flock "$BUILD_LOCK" "$@"; else "$@"; fi
}
build_quietly() {
  cmake --build "$build" -j "${JOBS:-$(nproc)}" >"$build/mutant-build.log" 2>&1
}
# The whole suite; with a folder of src/, the tests of its own folder first,
# which kill most mutants in seconds: the verdict is the whole suite's.
suite() {
  local own=$build/tests/${1:-}
  if [ -n "${1:-}" ] && [ -d "$own" ]; then
    ctest --test-dir "$own" -j "${JOBS:-$(nproc)}" --timeout 120 --stop-on-failure >"$build/mutant-test.log" 2>&1 \
      || return 1
  fi
  ctest --test-dir "$build" -j "${JOBS:-$(nproc)}" --timeout 120 --stop-on-failure >"$build/mutant-test.log" 2>&1
}

# Reads a mutant file into target, search and replace.
parse() {
  local section=head line
  target= search= replace=
  while IFS= read -r line || [ -n "$line" ]; do
    case $section:$line in
      head:file:*) target=${line#file:}; target=${target# } ;;
      head:'<<<<') section=search ;;
      search:'====') section=replace ;;
      replace:'>>>>') section=done ;;
      search:*) search+=${search:+$'\n'}$line ;;
      replace:*) replace+=${replace:+$'\n'}$line ;;
    esac
  done <"$1"
  [ "$section" = done ] && [ -n "$target" ] && [ -n "$search" ]
}

backup=$(mktemp)
restore_from=
restore() {
  if [ -n "$restore_from" ]; then
    cat "$backup" >"$restore_from"
    restore_from=
  fi
}
trap 'restore; rm -f "$backup"' EXIT
trap 'echo; echo "stopped: the mutated file is restored"; exit 130' INT TERM

start=$(date +%s)
if ! $check_only; then
  # The benchmarks catch no fault: not built, not relinked for each mutant.
  # ccache, where there is one, makes putting each file back a cache hit.
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake --preset dev -B "$build" -DKESTRAVA_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
  echo "== the suite without a mutant"
fi
if ! $check_only && ! locked bash -c "$(declare -f build_quietly suite); build=$build; build_quietly && suite"; then
  echo "the unmutated tree does not build or pass its suite: see $build/mutant-*.log"
  exit 2
fi

killed=() survived=() unapplied=() unbuilt=()
for mutant in "${mutants[@]}"; do
  name=$(basename "$mutant" .mutant)
  if [ ! -f "$mutant" ] || ! parse "$mutant"; then
    echo "$name: does not apply (no such mutant, or not file:, <<<<, ====, >>>>)"
    unapplied+=("$name")
    continue
  fi
  if [ ! -f "$target" ]; then
    echo "$name: does not apply ($target is gone)"
    unapplied+=("$name")
    continue
  fi
  IFS= read -r -d '' content <"$target" || true
  rest=${content//"$search"/}
  count=$(( (${#content} - ${#rest}) / ${#search} ))
  if [ "$count" -ne 1 ]; then
    echo "$name: does not apply (its text is in $target $count times)"
    unapplied+=("$name")
    continue
  fi
  if $check_only; then
    echo "$name: applies"
    continue
  fi
  cp "$target" "$backup"
  restore_from=$target
  printf '%s' "${content/"$search"/"$replace"}" >"$target"
  mutant_start=$(date +%s)
  # One hold of the lock for the build and the suite: 3 when it does not build.
  outcome=0
  folder=${target#src/}
  folder=${folder%%/*}
  locked bash -c "$(declare -f build_quietly suite); build=$build; build_quietly || exit 3; suite $folder" \
    || outcome=$?
  if [ $outcome -eq 3 ]; then
    result="does not build"
    unbuilt+=("$name")
  elif [ $outcome -eq 0 ]; then
    result="SURVIVED"
    survived+=("$name")
  else
    failed=$(sed -n -E 's/^[[:space:]]*[0-9]+ - (.+) \([^)]*\)$/\1/p' "$build/mutant-test.log" | head -3 | paste -sd, -)
    result="killed by ${failed:-the suite}"
    killed+=("$name")
  fi
  restore
  echo "$name: $result ($(( $(date +%s) - mutant_start )) s)"
done
if $check_only; then
  echo "${#mutants[@]} mutants, ${#unapplied[@]} do not apply"
  [ ${#unapplied[@]} -eq 0 ]
  exit
fi
# The last mutant's file is back; its objects too.
locked bash -c "$(declare -f build_quietly); build=$build; build_quietly" || true

echo
echo "${#mutants[@]} mutants: ${#killed[@]} killed, ${#survived[@]} survived, ${#unbuilt[@]} do not build," \
  "${#unapplied[@]} do not apply, in $(( ($(date +%s) - start) / 60 )) min"
[ ${#survived[@]} -gt 0 ] && echo "survived: ${survived[*]}"
[ ${#unapplied[@]} -gt 0 ] && echo "do not apply: ${unapplied[*]}"
[ ${#unbuilt[@]} -gt 0 ] && echo "do not build: ${unbuilt[*]}"
[ ${#survived[@]} -eq 0 ] && [ ${#unapplied[@]} -eq 0 ]
