#!/usr/bin/env bash
# The CPU cost of the running saver on Mesa's software OpenGL (llvmpipe), on
# a private Xvfb of each size: the X11 hack, or the Windows saver under Wine
# (a .scr, run with /s). It reads utime + stime of the whole process, and for
# the hack of each of its threads, from /proc over each span of seconds of
# running. The hack's scene worker (the simulation) is its thread named
# "velmora" other than the main thread; llvmpipe's rasteriser threads are
# "llvmpipe-N".
#
# The hack runs with -root, or with --window in a window of its own that is
# then sized to the screen: Xvfb's root visual has a swap that keeps
# nothing, so only its own window (a visual whose swap copies) draws frames
# over the last. --wayland runs it with -root in a headless sway of one
# output of each size instead of Xvfb. --whole sets VELMORA_WHOLE_FRAMES,
# which makes either program draw every frame whole, to compare.
# Usage: scripts/frame-cost.sh [--spans FROM-TO[,FROM-TO...]] [--window]
#                              [--wayland] [--whole] [PROGRAM] [WxH...]
set -euo pipefail
# shellcheck source=suite_lib.sh
source "$(dirname "$(readlink -f "$0")")/suite_lib.sh"
spans="3-23"
own_window=0
wayland=0
while [ $# -gt 0 ]; do
  case "$1" in
    --spans) spans="$2"; shift 2 ;;
    --window) own_window=1; shift ;;
    --wayland) wayland=1; shift ;;
    --whole) export VELMORA_WHOLE_FRAMES=1; shift ;;
    *) break ;;
  esac
done
program="${1:-build/native/src/hack/velmora}"
shift || true
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

# start_saver SIZE: starts the program on the display; sets hack (the
# process to watch) and launcher.
start_saver() {
  if [[ "$program" == *.scr ]]; then
    # Wine starts the saver in a process of its own, named after the file.
    prefix="$work/prefix"
    export VELMORA_WINEPREFIX="$prefix"
    "$(dirname "$(readlink -f "$0")")/wine-run" "$(readlink -f "$program")" /s >/dev/null 2>&1 &
    launcher=$!
    # The first run also makes the prefix. Wine runs the saver in a process
    # named after its file (as far as a process name goes), ours the one in
    # this prefix.
    local name pid
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
    [ -n "$hack" ] || { echo "$1: the saver did not start"; exit 1; }
  elif [ "$wayland" = 1 ]; then
    # sway's user (nobody, under root) runs a copy of its own.
    cp "$program" "$sway_folder/velmora"
    chmod 755 "$sway_folder/velmora"
    "${as_sway_user[@]}" "$sway_folder/velmora" -root --seed 7 &
    hack=$!
    launcher=$hack
  elif [ "$own_window" = 1 ]; then
    "$program" --seed 7 &
    hack=$!
    launcher=$hack
    local window=""
    for _ in $(seq 100); do
      window="$(xdotool search --name '^Velmora$' 2>/dev/null | head -n 1 || true)"
      [ -n "$window" ] && break
      sleep 0.1
    done
    [ -n "$window" ] || { echo "$1: the hack's window did not appear"; exit 1; }
    xdotool windowsize "$window" "${1%x*}" "${1#*x}"
  else
    "$program" -root --seed 7 &
    hack=$!
    launcher=$hack
  fi
}

# measure SIZE FROM TO: the shares over seconds FROM-TO of the run.
measure() {
  local size="$1" from="$2" to="$3" now
  now="$(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')"
  sleep "$(awk -v f="$from" -v n="$now" 'BEGIN { d = f - n; print (d > 0 ? d : 0) }')"
  declare -A before=()
  local task tid used name
  for task in "/proc/$hack/task/"*; do before[${task##*/}]="$(cpu "$hack" "${task##*/}")"; done
  local total_before start wall
  total_before="$(cpu "$hack")"
  start="$(date +%s.%N)"
  sleep "$((to - from))"
  local total_after
  total_after="$(cpu "$hack")"
  wall="$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')"
  local worker=0 raster=0 main=0 busiest=0
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
  local mode="frames over the last where kept"
  [ -n "${VELMORA_WHOLE_FRAMES:-}" ] && mode="whole frames"
  [[ "$program" != *.scr && "$own_window" = 0 ]] && mode="$mode, -root"
  [ "$wayland" = 1 ] && mode="$mode on headless sway"
  awk -v s="$size" -v t="$ticks" -v f="$from" -v w="$wall" -v all=$((total_after - total_before)) -v m="$main" \
    -v r="$raster" -v k="$worker" -v b="$busiest" -v p="$(basename "$program")" -v mode="$mode" 'BEGIN {
      # The set emerges over the first 144 s (2880 steps of 50 ms).
      target = f < 144 ? 10 : 5
      printf "%s at %s (%s): %.1f%% of a core over seconds %d-%.0f (target <= %d where the back buffer is kept): main thread %.1f%%, llvmpipe threads %.1f%%, busiest other thread %.1f%% (other threads %.1f%% in all)\n",
        p, s, mode, 100 * all / t / w, f, f + w, target, 100 * m / t / w, 100 * r / t / w, 100 * b / t / w, 100 * k / t / w }'
}

for size in "${sizes[@]}"; do
  if [ "$wayland" = 1 ]; then
    # Outside $work, which only its owner may enter.
    sway_folder="$(mktemp -d)"
    start_sway "$size" "$sway_folder" || exit 1
    xvfb=$sway_pid
  else
    start_xvfb "$size" "$work/xvfb.log" || exit 1
    xvfb=$xvfb_pid
  fi
  start_saver "$size"
  started="$(date +%s.%N)"
  IFS=, read -r -a span_list <<<"$spans"
  for span in "${span_list[@]}"; do
    measure "$size" "${span%-*}" "${span#*-}"
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
  [ "$wayland" = 0 ] || rm -rf "$sway_folder"
done
