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
expected="$("${expected_command[@]}" "${arguments[@]}")" || { echo "$expected"; echo "compare_digests: ${expected_command[*]} failed" >&2; exit 1; }
actual="$("${actual_command[@]}" "${arguments[@]}")" || { echo "$actual"; echo "compare_digests: ${actual_command[*]} failed" >&2; exit 1; }
echo "expected (${expected_command[*]}):"; echo "$expected"
echo "this build (${actual_command[*]}):"; echo "$actual"

expected_digests="$(grep digest <<<"$expected")"
if [ -z "$expected_digests" ]; then
  echo "compare_digests: the expected program printed no digest" >&2
  exit 1
fi
if [ "$expected_digests" != "$(grep digest <<<"$actual")" ]; then
  echo "compare_digests: the digests differ" >&2
  exit 1
fi
