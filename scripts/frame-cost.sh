#!/usr/bin/env bash
# The CPU cost of the running saver on Mesa's software OpenGL (llvmpipe), on
# a private Xvfb of each size: the X11 hack (`velmora -root`), or the
# Windows saver under Wine (a .scr, run with /s). It reads utime + stime of
# the whole process, and for the hack of each of its threads, from /proc
# over SECONDS after FROM seconds of running. The hack's scene worker (the
# simulation) is its thread named "velmora" other than the main thread;
# llvmpipe's rasteriser threads are "llvmpipe-N".
# Usage: scripts/frame-cost.sh [--from FROM] [PROGRAM] [SECONDS] [WxH...]
set -euo pipefail
# shellcheck source=suite_lib.sh
source "$(dirname "$(readlink -f "$0")")/suite_lib.sh"
from=3
if [ "${1:-}" = "--from" ]; then from="$2"; shift 2; fi
program="${1:-build/native/src/x11/velmora}"
seconds="${2:-20}"
shift 2 2>/dev/null || shift $#
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1280x800 1920x1080)
ticks="$(getconf CLK_TCK)"
work="$(mktemp -d)"
prefix=""
# Whatever happens, nothing started here outlives the script.
cleanup() {
  if [ -n "$prefix" ]; then
    WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
    WINEPREFIX="$prefix" wineserver -w 2>/dev/null || true
  fi
  end_background_jobs
  rm -rf "$work" || true
}
trap cleanup EXIT

# cpu PID [TID]: utime + stime in clock ticks.
cpu() {
  local stat="/proc/$1/stat"
  [ -n "${2:-}" ] && stat="/proc/$1/task/$2/stat"
  sed 's/^.*) //' "$stat" | awk '{ print $12 + $13 }'
}

for size in "${sizes[@]}"; do
  start_xvfb "$size" "$work/xvfb.log" || exit 1
  xvfb=$xvfb_pid
  if [[ "$program" == *.scr ]]; then
    # Wine starts the saver in a process of its own, named after the file.
    prefix="$work/prefix"
    export VELMORA_WINEPREFIX="$prefix"
    "$(dirname "$(readlink -f "$0")")/wine-run" "$(readlink -f "$program")" /s >/dev/null 2>&1 &
    launcher=$!
    # The first run also makes the prefix. Wine runs the saver in a process
    # named after its file (as far as a process name goes), ours the one in
    # this prefix.
    name="$(basename "$program" | cut -c1-15)"
    hack=""
    for _ in $(seq 600); do
      for pid in $(pgrep -x "$name" -u "$(id -u)" || true); do
        if grep -qxF "WINEPREFIX=$prefix" <<<"$(tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null)"; then
          hack="$pid"
        fi
      done
      [ -n "$hack" ] && break
      sleep 0.1
    done
    [ -n "$hack" ] || { echo "$size: the saver did not start"; kill "$xvfb"; exit 1; }
  else
    "$program" -root --seed 7 &
    hack=$!
    launcher=$hack
  fi
  sleep "$from"
  declare -A before=()
  for task in "/proc/$hack/task/"*; do before[${task##*/}]="$(cpu "$hack" "${task##*/}")"; done
  total_before="$(cpu "$hack")"
  start="$(date +%s.%N)"
  sleep "$seconds"
  total_after="$(cpu "$hack")"
  wall="$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')"
  worker=0; raster=0; main=0; busiest=0
  for task in "/proc/$hack/task/"*; do
    tid="${task##*/}"
    used=$(( $(cpu "$hack" "$tid") - ${before[$tid]:-0} ))
    name="$(cat "$task/comm")"
    if [ "$tid" = "$hack" ]; then main=$((main + used))
    elif [[ "$name" == llvmpipe* ]]; then raster=$((raster + used))
    else
      worker=$((worker + used))
      [ "$used" -gt "$busiest" ] && busiest=$used
    fi
  done
  if [[ "$program" == *.scr ]]; then
    WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
    # The server writes the prefix's registry as it ends.
    WINEPREFIX="$prefix" wineserver -w 2>/dev/null || true
    wait "$launcher" 2>/dev/null || true
  else
    kill "$hack"; wait "$hack" || true
  fi
  kill "$xvfb"; wait "$xvfb" 2>/dev/null || true
  awk -v s="$size" -v t="$ticks" -v f="$from" -v w="$wall" -v all=$((total_after - total_before)) -v m="$main" \
    -v r="$raster" -v k="$worker" -v b="$busiest" -v p="$(basename "$program")" 'BEGIN {
      printf "%s at %s: %.1f%% of a core over seconds %d-%.0f (target <= 25 at 1280x800): main thread %.1f%%, llvmpipe threads %.1f%%, busiest other thread %.1f%% (other threads %.1f%% in all)\n",
        p, s, 100 * all / t / w, f, f + w, 100 * m / t / w, 100 * r / t / w, 100 * b / t / w, 100 * k / t / w }'
done
