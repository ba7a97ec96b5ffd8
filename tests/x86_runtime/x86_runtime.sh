#!/usr/bin/env bash
# Runs a command that needs this machine to execute 32-bit x86 code (a
# 32-bit Windows program under Wine's WoW64 mode), after asking the kernel
# with a tiny 32-bit Linux program, the probe.
#
#   x86_runtime.sh PROBE [-- COMMAND [ARGUMENT ...]]
#
# - The probe printed its line: 32-bit code runs here. The command runs and
#   its exit code is this script's: a failing WoW64 set-up or test fails.
# - The kernel refused to start the probe ("Exec format error": a kernel
#   built or booted without 32-bit support): the one reason is printed and
#   the exit code is 77, which ctest counts as a skip.
# - Anything else (the probe missing, crashing, printing something else):
#   a failure, exit code 1. A broken set-up never passes as a skip.
set -uo pipefail

readonly expected_line="32-bit x86 code runs"
readonly skip_code=77

if [ $# -lt 1 ]; then
  echo "usage: x86_runtime.sh PROBE [-- COMMAND [ARGUMENT ...]]" >&2
  exit 2
fi
probe=$1
shift
if [ $# -gt 0 ]; then
  if [ "$1" != "--" ]; then
    echo "x86_runtime.sh: expected -- before the command, got '$1'" >&2
    exit 2
  fi
  shift
fi

if [ ! -f "$probe" ]; then
  echo "x86_runtime.sh: FAILED: the probe $probe does not exist" >&2
  exit 1
fi

errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
# Bash reports a program the kernel will not start as "cannot execute
# binary file: Exec format error" with exit code 126.
output=$("$probe" 2>"$errors")
status=$?
if [ "$status" -eq 0 ] && [ "$output" = "$expected_line" ]; then
  [ $# -eq 0 ] && { echo "$expected_line"; exit 0; }
  rm -f "$errors"
  trap - EXIT
  exec "$@"
fi
if [ "$status" -eq 126 ] && grep -q "Exec format error" "$errors"; then
  echo "SKIPPED: this machine cannot execute 32-bit x86 code (the kernel refuses 32-bit programs: Exec format error)"
  exit "$skip_code"
fi
echo "x86_runtime.sh: FAILED: the 32-bit probe $probe exited $status and printed '$output' (expected '$expected_line')" >&2
sed 's/^/  probe: /' "$errors" >&2
exit 1
