#!/usr/bin/env bash
# The flake hunt: every suite run many times over on a loaded machine (two
# busy processes beside the tests), counting runs and failures, so that a
# test that passes only with luck shows itself. Not part of `make test`;
# `make test-repeat` builds first. Each failure is to be fixed at its cause.
#
#   scripts/test-repeat.sh [--repeat N] [--real-programs M] [--exclude REGEX]
#                          [--only REGEX] [--busy B] [--logs DIR] [SUITE ...]
#
# N (default 20): ctest --repeat until-fail:N for the native, asan and tsan
# presets (all but the daemon suites). M (default 5): the same for the
# fuzz case, the Wine suites (64-bit, and 32-bit where this machine runs
# 32-bit code: elsewhere they count as skipped) and the daemon suites.
# REGEX: tests left out of every suite but asan (ctest -E, which would
# replace the asan preset's own filter), for example the long comparisons,
# or the tsan soak, when time is short. --only REGEX: the tests run, in
# every suite but daemons (ctest -R), e.g. the threaded tests under tsan.
# B (default 2): busy processes beside the tests (0 where another hunt
# already runs beside this one). DIR (default build/test-repeat): the logs,
# and summary.txt, the counts, also printed last.
# SUITE: native asan tsan fuzz windows-x64 windows-x86 daemons (default all).
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

repeat=20
real_programs=5
suites=()
exclude=''
only=''
busy_count=2
logs=build/test-repeat
while [ $# -gt 0 ]; do
  case "$1" in
    --repeat) repeat=$2; shift 2 ;;
    --real-programs) real_programs=$2; shift 2 ;;
    --exclude) exclude=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    --busy) busy_count=$2; shift 2 ;;
    --logs) logs=$2; shift 2 ;;
    -h|--help) sed -n '2,21p' "$0"; exit 0 ;;
    -*) echo "test-repeat: unknown option $1" >&2; exit 2 ;;
    *) suites+=("$1"); shift ;;
  esac
done
[ ${#suites[@]} -gt 0 ] || suites=(native asan tsan fuzz windows-x64 windows-x86 daemons)

mkdir -p "$logs"
summary="$logs/summary.txt"
: >"$summary"

# Busy processes for the whole hunt: with two, the tests get at most half
# of the machine's two processors.
busy=()
for _ in $(seq "$busy_count"); do
  ( while :; do :; done ) &
  busy+=($!)
done
trap '[ ${#busy[@]} -eq 0 ] || kill "${busy[@]}" 2>/dev/null; wait 2>/dev/null' EXIT

# run_suite NAME REPEATS CTEST-ARGUMENTS...: one ctest run with the tests
# repeated until they fail; its counts into the summary.
run_suite() {
  local name=$1 times=$2
  shift 2
  local log="$logs/$name.log" started status
  started=$(date +%s)
  echo "== $name: until-fail:$times ($(date +%T))"
  ctest "$@" ${only:+-R "$only"} --repeat "until-fail:$times" --output-on-failure >"$log" 2>&1
  status=$?
  local total failed skipped
  total=$(grep -oE 'tests failed out of [0-9]+' "$log" | grep -oE '[0-9]+$' | tail -n 1)
  failed=$(grep -oE '[0-9]+ tests failed out of' "$log" | grep -oE '^[0-9]+' | tail -n 1)
  skipped=$(grep -cE '\*\*\*Skipped|Not Run' "$log")
  local line
  line=$(printf '%-12s %3s tests x %2s runs: %3s failed, %3s skipped, exit %s, %s s' \
    "$name" "${total:-?}" "$times" "${failed:-?}" "$skipped" "$status" "$(($(date +%s) - started))")
  echo "$line" | tee -a "$summary"
  # Which tests failed, and the first lines of why.
  sed -n '/The following tests FAILED/,$p' "$log" | sed 's/^/    /' | tee -a "$summary"
}

skip=()
[ -z "$exclude" ] || skip=(-E "$exclude")
for suite in "${suites[@]}"; do
  case "$suite" in
    native) run_suite native "$repeat" --preset native -j 2 -E "^daemons\\.${exclude:+|$exclude}" ;;
    # The asan preset's own filter stays (an -E here would replace it); the
    # long comparisons are not built with the sanitizers.
    asan) run_suite asan "$repeat" --preset asan -j 2 ;;
    tsan) run_suite tsan "$repeat" --preset tsan -j 2 "${skip[@]}" ;;
    fuzz) run_suite fuzz "$real_programs" --test-dir build/fuzz "${skip[@]}" ;;
    windows-x64|windows-x86) run_suite "$suite" "$real_programs" --preset "$suite" -j 2 "${skip[@]}" ;;
    daemons) only='' run_suite daemons "$real_programs" --preset native -R '^daemons\.' "${skip[@]}" ;;
    *) echo "test-repeat: unknown suite $suite" >&2; exit 2 ;;
  esac
done

echo "== counts"
cat "$summary"
! grep -qE 'exit [1-9]' "$summary"
