#!/usr/bin/env bash
# compare_digests.sh ARGUMENTS EXPECTED... -- ACTUAL...
# Runs the command EXPECTED (the program that gives the expected digests,
# such as the 64-bit build's) and the command ACTUAL (this build's, under
# the emulator) with the same ARGUMENTS (split at spaces); both must succeed
# and print the same digest lines. A missing program is a failure: without
# it nothing is compared.
set -uo pipefail
read -r -a arguments <<<"$1"
shift
expected_command=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  expected_command+=("$1")
  shift
done
shift
actual_command=("$@")

for word in "${expected_command[@]}" "${actual_command[@]}"; do
  if [[ "$word" == */* && ! -x "$word" ]]; then
    echo "compare_digests: no program $word (the native one comes from the native preset's build)" >&2
    exit 1
  fi
done
expected="$("${expected_command[@]}" "${arguments[@]}")"
expected_status=$?
actual="$("${actual_command[@]}" "${arguments[@]}")"
actual_status=$?
echo "expected (${expected_command[*]}):"; echo "$expected"
echo "this build (${actual_command[*]}):"; echo "$actual"

failed=0
expected_digests="$(grep digest <<<"$expected")"
if [ $expected_status -ne 0 ] || [ -z "$expected_digests" ]; then
  echo "compare_digests: the expected program failed ($expected_status) or printed no digest" >&2
  exit 1
fi
if [ "$expected_digests" != "$(grep digest <<<"$actual")" ]; then
  echo "compare_digests: the digests differ" >&2
  failed=1
fi
if [ $actual_status -ne 0 ]; then
  echo "compare_digests: this build's program failed ($actual_status)" >&2
  failed=1
fi
exit $failed
