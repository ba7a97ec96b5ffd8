#!/usr/bin/env bash
# The hack's CPU cost on Mesa's software OpenGL (llvmpipe): runs
# `velmora -root` on a private Xvfb of each size for SECONDS (20 by default)
# after a few seconds of warm-up, and reads utime + stime of the whole
# process and of each of its threads from /proc. The scene's worker thread
# (the simulation) is the one whose name is "velmora" other than the main
# thread; llvmpipe's rasteriser threads are "llvmpipe-N".
# Usage: scripts/frame-cost.sh [VELMORA] [SECONDS] [WxH...]
set -euo pipefail
program="${1:-build/native/src/x11/velmora}"
seconds="${2:-20}"
shift 2 2>/dev/null || shift $#
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1280x800 1920x1080)
ticks="$(getconf CLK_TCK)"

# cpu PID [TID]: utime + stime in clock ticks.
cpu() {
  local stat="/proc/$1/stat"
  [ -n "${2:-}" ] && stat="/proc/$1/task/$2/stat"
  sed 's/^.*) //' "$stat" | awk '{ print $12 + $13 }'
}

for size in "${sizes[@]}"; do
  fifo="$(mktemp -u)"; mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  xvfb=$!
  read -r number <"$fifo"; rm -f "$fifo"
  DISPLAY=":$number" "$program" -root --seed 7 &
  hack=$!
  sleep 3
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
  kill "$hack"; wait "$hack" || true
  kill "$xvfb"; wait "$xvfb" 2>/dev/null || true
  awk -v s="$size" -v t="$ticks" -v w="$wall" -v all=$((total_after - total_before)) -v m="$main" -v r="$raster" \
    -v k="$worker" -v b="$busiest" 'BEGIN {
      printf "%s: %.1f%% of a core over %.1f s: main thread (frames) %.1f%%, llvmpipe threads %.1f%%, simulation worker %.1f%% (other threads %.1f%% in all)\n",
        s, 100 * all / t / w, w, 100 * m / t / w, 100 * r / t / w, 100 * b / t / w, 100 * k / t / w }'
done
