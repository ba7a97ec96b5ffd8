#!/usr/bin/env bash
# x86_runtime.sh's three outcomes, each made real: the kernel refuses a
# program whose ELF header names no machine exactly as a kernel without
# 32-bit support refuses the real probe.
set -uo pipefail
script=$1
probe=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# expect NAME CODE PATTERN COMMAND...: the exit code, and a line matching.
expect() {
  local name=$1 code=$2 pattern=$3
  shift 3
  local output status
  output=$("$@" 2>&1)
  status=$?
  if [ "$status" -eq "$code" ] && grep -qE "$pattern" <<<"$output"; then
    echo "ok: $name"
  else
    echo "FAILED: $name: exit $status (expected $code), output: $output"
    failures=$((failures + 1))
  fi
}

# The real probe: this machine either runs 32-bit code or refuses it.
output=$(bash "$script" "$probe" 2>&1)
status=$?
case "$status" in
  0) echo "this machine runs 32-bit x86 code"
     expect "a failing command fails" 1 '^$' bash "$script" "$probe" -- false
     expect "a passing command passes" 0 '^ran$' bash "$script" "$probe" -- echo ran ;;
  77) echo "this machine cannot run 32-bit x86 code"
     expect "the command is not run" 77 '^SKIPPED: ' bash "$script" "$probe" -- echo ran ;;
  *) echo "FAILED: the real probe: exit $status: $output"; failures=$((failures + 1)) ;;
esac

# Refused by the kernel: EM_NONE in e_machine (bytes 18 and 19).
cp "$probe" "$work/no_machine"
printf '\x00\x00' | dd of="$work/no_machine" bs=1 seek=18 conv=notrunc status=none
expect "a refused program is a skip" 77 \
  '^SKIPPED: this machine cannot execute 32-bit x86 code' bash "$script" "$work/no_machine" -- echo ran

# Runs, but is not the probe: a broken set-up fails.
printf '#!/bin/sh\necho something else\n' >"$work/wrong_line"
chmod +x "$work/wrong_line"
expect "a wrong line fails" 1 "printed 'something else'" bash "$script" "$work/wrong_line" -- echo ran
printf '#!/bin/sh\necho "32-bit x86 code runs"\nexit 3\n' >"$work/wrong_code"
chmod +x "$work/wrong_code"
expect "a non-zero exit fails" 1 'exited 3' bash "$script" "$work/wrong_code" -- echo ran
expect "a missing probe fails" 1 'does not exist' bash "$script" "$work/missing" -- echo ran

[ "$failures" -eq 0 ] && echo "all outcomes as expected"
exit $((failures > 0))
