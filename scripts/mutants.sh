#!/usr/bin/env bash
# Plants the faults listed in tests/mutants/ one at a time, rebuilds, runs
# every test that can see it (each test whose program the mutant relinked, or
# that starts such a program, or is a script) and reports which the suite
# caught (killed) and which it did not (survived). A mutant whose search text is no longer in its
# file, or is there more than once, "does not apply"; one that does not
# compile "does not build". The source file is restored after each mutant,
# also when the run is stopped.
#
# Usage: mutants.sh [--check] [MUTANT...]   (names of tests/mutants/*.mutant;
#        none: all). --check only tells whether each mutant applies.
#        mutants.sh --random N [--seed S] [--since BASE] [--dry-run] [FILE...]
#        N mutants made by rule (scripts/mutants_random.py says which rules)
#        in the code lines of FILE... (none: the src/ .cpp files this branch
#        changed since BASE, by default main), drawn with seed S (by default
#        today's date, YYYYMMDD): the same seed and files, the same mutants.
#        A mutant that does not compile is "stillborn"; one that
#        tests/mutants/equivalent.txt lists (FILE: BEFORE → AFTER  # REASON,
#        the line's text without its indentation) is skipped. Each survivor is
#        printed as FILE:LINE: BEFORE → AFTER. --dry-run only lists the mutants.
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

check_only=false random=0 dry_run=false seed=$(date +%Y%m%d) since=main files=()
if [ "${1:-}" = --check ]; then
  check_only=true
  shift
elif [ "${1:-}" = --random ]; then
  if ! [[ ${2:-} =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: mutants.sh --random N [--seed S] [--since BASE] [--dry-run] [FILE...]" >&2
    exit 2
  fi
  random=$2
  shift 2
  while [ $# -gt 0 ]; do
    case $1 in
      --seed | --since)
        [ $# -ge 2 ] || { echo "$1 needs a value" >&2; exit 2; }
        if [ "$1" = --seed ]; then seed=$2; else since=$2; fi
        shift 2 ;;
      --dry-run) dry_run=true; shift ;;
      -*) echo "unknown option $1" >&2; exit 2 ;;
      *) files+=("$1"); shift ;;
    esac
  done
fi
mutants=()
if [ "$random" -gt 0 ]; then
  if [ ${#files[@]} -eq 0 ]; then
    base=$(git merge-base "$since" HEAD) || { echo "no common ancestor of $since and HEAD" >&2; exit 2; }
    # Committed since then, changed in the tree, or new and not yet added.
    mapfile -t files < <({ git diff --name-only --diff-filter=d "$base" -- 'src/*.cpp'
                           git ls-files --others --exclude-standard -- 'src/*.cpp'; } | sort -u)
    if [ ${#files[@]} -eq 0 ]; then
      echo "no src/ .cpp file changed since $since: name the files to mutate" >&2
      exit 2
    fi
  fi
  for file in "${files[@]}"; do
    [ -f "$file" ] || { echo "no file $file" >&2; exit 2; }
  done
elif [ $# -eq 0 ]; then
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
# The whole suite; with a folder of src/ and a marker file touched before the
# mutant's build, the tests that can see the mutant (scripts/mutants_affected.py
# says which: those whose program was relinked or starts one that was), those
# of the folder's own tests first, which kill most mutants in seconds.
# Exit 4: the tests to run could not be told.
suite() {
  local tests
  if [ -z "${2:-}" ]; then
    ctest --test-dir "$build" -j "${JOBS:-$(nproc)}" --timeout 120 --stop-on-failure >"$build/mutant-test.log" 2>&1
    return
  fi
  tests=$(python3 scripts/mutants_affected.py "$build" "$2" "$1" 2>"$build/mutant-test.log") || return 4
  local own=${tests%%$'\n'*} rest=${tests#*$'\n'}
  : >"$build/mutant-test.log"
  if [ -n "$own" ]; then
    ctest --test-dir "$build" -I "0,0,0,$own" -j "${JOBS:-$(nproc)}" --timeout 120 --stop-on-failure \
      >>"$build/mutant-test.log" 2>&1 || return 1
  fi
  if [ -n "$rest" ]; then
    ctest --test-dir "$build" -I "0,0,0,$rest" -j "${JOBS:-$(nproc)}" --timeout 120 --stop-on-failure \
      >>"$build/mutant-test.log" 2>&1 || return 1
  fi
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
drawn_list=$(mktemp)
restore_from=
restore() {
  if [ -n "$restore_from" ]; then
    cat "$backup" >"$restore_from"
    restore_from=
  fi
}
trap 'restore; rm -f "$backup" "$drawn_list"' EXIT
trap 'echo; echo "stopped: the mutated file is restored"; exit 130' INT TERM

# The random mutants, eight fields each: file, line, rule, the line's text
# before and after as shown, the whole line before and after, and whether
# tests/mutants/equivalent.txt lists it (1) or not (0).
drawn=()
if [ "$random" -gt 0 ]; then
  python3 scripts/mutants_random.py list --count "$random" --seed "$seed" \
    --equivalent tests/mutants/equivalent.txt "${files[@]}" >"$drawn_list" 2>"$drawn_list.count" \
    || { cat "$drawn_list.count" >&2; rm -f "$drawn_list.count"; exit 2; }
  candidates=$(sed -n 's/ candidates$//p' "$drawn_list.count")
  rm -f "$drawn_list.count"
  mapfile -d '' -t drawn <"$drawn_list"
  of_files="${#files[@]} files"
  [ ${#files[@]} -eq 1 ] && of_files=${files[0]}
  echo "$(( ${#drawn[@]} / 8 )) random mutants (seed $seed), drawn from the $candidates of $of_files"
  if $dry_run; then
    for (( i = 0; i < ${#drawn[@]}; i += 8 )); do
      note=
      [ "${drawn[i + 7]}" = 1 ] && note="  (skipped as equivalent)"
      echo "${drawn[i]}:${drawn[i + 1]}: ${drawn[i + 3]} → ${drawn[i + 4]}  [${drawn[i + 2]}]$note"
    done
    exit 0
  fi
fi

start=$(date +%s)
if ! $check_only; then
  # The benchmarks catch no fault: not built, not relinked for each mutant.
  # ccache, where there is one, makes putting each file back a cache hit.
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # Each mutant relinks every program over its library, with lld where the
  # build finds it (CMakeLists.txt): a quarter of the time ld takes.
  locked cmake --preset dev -B "$build" -DKESTRAVA_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
  echo "== the suite without a mutant"
fi
if ! $check_only && ! locked bash -c "$(declare -f build_quietly suite); build=$build; build_quietly && suite"; then
  echo "the unmutated tree does not build or pass its suite: see $build/mutant-*.log"
  exit 2
fi

# One mutant planted in $target: the build and the tests of its folder, then
# the whole suite, under one hold of the lock; sets result and outcome
# (0 survived, 3 did not build, else killed), and puts the file back.
try_mutant() {
  local folder=${target#src/}
  folder=${folder%%/*}
  mutant_start=$(date +%s)
  outcome=0
  locked bash -c "$(declare -f build_quietly suite); build=$build; touch $build/mutant-marker;
                  build_quietly || exit 3; suite \"$folder\" $build/mutant-marker" || outcome=$?
  if [ $outcome -eq 4 ]; then
    restore
    echo "which tests can see the mutant could not be told: see $build/mutant-test.log"
    exit 2
  elif [ $outcome -eq 3 ]; then
    result="does not build"
  elif [ $outcome -eq 0 ]; then
    result="SURVIVED"
  else
    failed=$(sed -n -E 's/^[[:space:]]*[0-9]+ - (.+) \([^)]*\)$/\1/p' "$build/mutant-test.log" | head -3 | paste -sd, -) || true
    result="killed by ${failed:-the suite}"
  fi
  restore
  result+=" ($(( $(date +%s) - mutant_start )) s)"
  # A mutant can make a test move or write a file of the tests' data (a
  # reader setting a file it finds unusable aside): the next mutants must
  # find the data as it was.
  if [ "$(git status --porcelain --untracked-files=all -- tests/data)" != "$data_before" ]; then
    if [ -n "$data_before" ]; then
      echo "$result"
      echo "the tests changed tests/data, which held changes of its own: stopped (see git status)"
      exit 2
    fi
    git checkout -q -- tests/data
    git clean -q -f -d -- tests/data
    result+=" (its tests changed tests/data: put back)"
  fi
}

# The tests' data as the mutants start.
data_before=$(git status --porcelain --untracked-files=all -- tests/data)

if [ "$random" -gt 0 ]; then
  killed=0 stillborn=0 equivalent=0 survivors=()
  for (( i = 0; i < ${#drawn[@]}; i += 8 )); do
    target=${drawn[i]}
    shown="$target:${drawn[i + 1]}: ${drawn[i + 3]} → ${drawn[i + 4]}"
    if [ "${drawn[i + 7]}" = 1 ]; then
      equivalent=$(( equivalent + 1 ))
      echo "$shown  skipped as equivalent"
      continue
    fi
    cp "$target" "$backup"
    restore_from=$target
    if ! python3 scripts/mutants_random.py apply "$target" "${drawn[i + 1]}" "${drawn[i + 5]}" "${drawn[i + 6]}"; then
      restore
      echo "$target changed while the mutants were drawn: run again"
      exit 2
    fi
    try_mutant
    case $outcome in
      0) survivors+=("$shown") ;;
      3) stillborn=$(( stillborn + 1 )); result="stillborn ${result#does not build }" ;;
      *) killed=$(( killed + 1 )) ;;
    esac
    echo "$shown  $result"
  done
  # The last mutant's file is back; its objects too.
  locked bash -c "$(declare -f build_quietly); build=$build; build_quietly" || true
  echo
  if [ ${#survivors[@]} -gt 0 ]; then
    echo "survived:"
    printf '%s\n' "${survivors[@]}"
  fi
  echo "random mutants: $killed killed, ${#survivors[@]} survived, $stillborn stillborn," \
    "$equivalent skipped as equivalent (seed $seed), in $(( ($(date +%s) - start) / 60 )) min"
  [ ${#survivors[@]} -eq 0 ]
  exit
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
  try_mutant
  case $outcome in
    0) survived+=("$name") ;;
    3) unbuilt+=("$name") ;;
    *) killed+=("$name") ;;
  esac
  echo "$name: $result"
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
