#!/usr/bin/env bash
# The CPU cost of the running saver on Mesa's software OpenGL (llvmpipe), on
# a private X display of each screen: the X11 hack, or the Windows saver
# under Wine (a .scr, run with /s). It reads utime + stime of the whole
# process (of every hack process), and for the hack of each of its threads,
# from /proc over each span of seconds of running. The hack's scene worker
# (the simulation) is its thread named "velmora" other than the main
# thread; llvmpipe's rasteriser threads are "llvmpipe-N".
#
# A screen is WxH, an Xvfb of that size, or monitors side by side, WxH+WxH:
# the heads of a Xephyr nested in an Xvfb, joined by Xinerama (Wine told
# to see them, not XRandR's one screen); WxH+ is one head on Xephyr, to
# compare. The hack runs as
#   (default)       -root, on the root window: Xvfb's root visual has a swap
#                   that keeps nothing, so its frames are whole;
#   --window        in a window of its own, then sized to the screen;
#   --saver-window  -root with XSCREENSAVER_WINDOW naming a window of the
#                   default visual over each monitor, one process a monitor,
#                   as XScreenSaver and the MATE screen saver run it;
#   --window-id     -window-id naming such a window, as a settings preview.
# --wayland runs it with -root in a headless sway of one output of each size
# instead. --whole sets VELMORA_WHOLE_FRAMES, which makes either program draw
# every frame whole, to compare.
# Usage: scripts/frame-cost.sh [--spans FROM-TO[,FROM-TO...]]
#          [--window | --saver-window | --window-id | --wayland] [--whole]
#          [PROGRAM] [SCREEN...]
set -euo pipefail
# shellcheck source=suite_lib.sh
source "$(dirname "$(readlink -f "$0")")/suite_lib.sh"
spans="3-23"
way="-root"
wayland=0
while [ $# -gt 0 ]; do
  case "$1" in
    --spans) spans="$2"; shift 2 ;;
    --window | --saver-window | --window-id) way="$1"; shift ;;
    --wayland) wayland=1; shift ;;
    --whole) export VELMORA_WHOLE_FRAMES=1; shift ;;
    *) break ;;
  esac
done
program="${1:-build/native/src/hack/velmora}"
shift || true
screens=("$@")
[ ${#screens[@]} -gt 0 ] || screens=(1280x800 1920x1080)
ticks="$(getconf CLK_TCK)"
work="$(mktemp -d)"
prefix=""
servers=()
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

# start_screen SCREEN: an Xvfb of one size, or for heads a Xephyr on one;
# sets DISPLAY, servers (to end) and heads (each WIDTH HEIGHT X).
start_screen() {
  heads=()
  servers=()
  local head x=0
  IFS=+ read -r -a head_sizes <<<"$1"
  for head in "${head_sizes[@]}"; do
    heads+=("${head%x*} ${head#*x} $x")
    x=$((x + ${head%x*}))
  done
  if [ "$wayland" = 1 ]; then
    # Outside $work, which only its owner may enter.
    sway_folder="$(mktemp -d)"
    start_sway "$1" "$sway_folder" || exit 1
    servers=("$sway_pid")
    return
  fi
  if [[ "$1" != *+* ]]; then
    start_xvfb "$1" "$work/xvfb.log" || exit 1
    servers=("$xvfb_pid")
    return
  fi
  start_xvfb 640x480 "$work/xvfb.log" || exit 1
  servers=("$xvfb_pid")
  local arguments=()
  for head in "${head_sizes[@]}"; do arguments+=(-screen "$head"); done
  start_x_server "$work/xephyr.log" Xephyr +xinerama "${arguments[@]}" || exit 1
  servers=("$x_server_pid" "${servers[@]}")
}

# head_window N: a window of the default visual over head N (xlogo's);
# prints its ID.
head_window() {
  local width height x window=""
  read -r width height x <<<"${heads[$1]}"
  xlogo -title "head-$1" -geometry "${width}x${height}+${x}+0" >/dev/null 2>&1 &
  # Slow to come on a loaded machine.
  for _ in $(seq 300); do
    window="$(xdotool search --name "^head-$1\$" 2>/dev/null | head -n 1 || true)"
    [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || { echo "the window over head $1 did not appear" >&2; exit 1; }
  echo "$window"
}

# start_saver: starts the program on the display; sets hacks (the processes
# to watch).
start_saver() {
  hacks=()
  if [[ "$program" == *.scr ]]; then
    start_windows_saver
    return
  fi
  local n window
  if [ "$wayland" = 1 ]; then
    # sway's user (nobody, under root) runs a copy of its own.
    cp "$program" "$sway_folder/velmora"
    chmod 755 "$sway_folder/velmora"
    "${as_sway_user[@]}" "$sway_folder/velmora" -root --seed 7 &
    hacks=("$!")
    return
  fi
  case "$way" in
    --window)
      "$program" --seed 7 &
      hacks=("$!")
      for _ in $(seq 100); do
        window="$(xdotool search --name '^Velmora$' 2>/dev/null | head -n 1 || true)"
        [ -n "$window" ] && break
        sleep 0.1
      done
      [ -n "$window" ] || { echo "the hack's window did not appear"; exit 1; }
      read -r width height _ <<<"${heads[0]}"
      xdotool windowsize "$window" "$width" "$height"
      ;;
    -root)
      XSCREENSAVER_WINDOW='' "$program" -root --seed 7 &
      hacks=("$!")
      ;;
    *)
      for n in "${!heads[@]}"; do
        window="$(head_window "$n")"
        if [ "$way" = --window-id ]; then
          "$program" -window-id "$window" --seed 7 &
        else
          XSCREENSAVER_WINDOW="$window" "$program" -root --seed 7 &
        fi
        hacks+=("$!")
      done
      ;;
  esac
}

start_windows_saver() {
  # Wine starts the saver in a process of its own, named after the file.
  prefix="$work/prefix"
  export VELMORA_WINEPREFIX="$prefix"
  local wine_run name pid hack=""
  wine_run="$(dirname "$(readlink -f "$0")")/wine-run"
  if [ ${#heads[@]} -gt 1 ]; then
    # The first run makes the prefix; Wine's server then starts again to
    # read the heads as monitors.
    "$wine_run" reg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /d N /f >/dev/null 2>&1
    WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
    WINEPREFIX="$prefix" wineserver -w 2>/dev/null || true
  fi
  "$wine_run" "$(readlink -f "$program")" /s >/dev/null 2>&1 &
  # The first run may also make the prefix. Ours is the process of that
  # name (as far as a process name goes) in this prefix.
  name="$(basename "$program" | cut -c1-15)"
  for _ in $(seq 600); do
    for pid in $(pgrep -x "$name" -u "$(id -u)" || true); do
      if grep -qxF "WINEPREFIX=$prefix" <<<"$(tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null)"; then
        hack="$pid"
      fi
    done
    [ -n "$hack" ] && break
    sleep 0.1
  done
  [ -n "$hack" ] || { echo "the saver did not start"; exit 1; }
  hacks=("$hack")
}

# measure SCREEN FROM TO: the shares over seconds FROM-TO of the run.
measure() {
  local screen="$1" from="$2" to="$3" now
  now="$(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')"
  sleep "$(awk -v f="$from" -v n="$now" 'BEGIN { d = f - n; print (d > 0 ? d : 0) }')"
  declare -A before=()
  local task hack used name total_before=0 total_after=0 start wall
  for hack in "${hacks[@]}"; do
    for task in "/proc/$hack/task/"*; do before[$hack/${task##*/}]="$(cpu "$hack" "${task##*/}")"; done
    total_before=$((total_before + $(cpu "$hack")))
  done
  start="$(date +%s.%N)"
  sleep "$((to - from))"
  for hack in "${hacks[@]}"; do total_after=$((total_after + $(cpu "$hack"))); done
  wall="$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')"
  local worker=0 raster=0 main=0 busiest=0 tid
  for hack in "${hacks[@]}"; do
    for task in "/proc/$hack/task/"*; do
      tid="${task##*/}"
      used=$(($(cpu "$hack" "$tid") - ${before[$hack/$tid]:-0}))
      name="$(cat "$task/comm")"
      if [ "$tid" = "$hack" ]; then
        main=$((main + used))
      elif [[ "$name" == llvmpipe* ]]; then
        raster=$((raster + used))
      else
        worker=$((worker + used))
        [ "$used" -gt "$busiest" ] && busiest=$used
      fi
    done
  done
  local mode="frames over the last where kept"
  [ -n "${VELMORA_WHOLE_FRAMES:-}" ] && mode="whole frames"
  [[ "$program" != *.scr && "$way" != --window ]] && mode="$mode, $way"
  [ ${#hacks[@]} -gt 1 ] && mode="$mode, ${#hacks[@]} processes"
  [ "$wayland" = 1 ] && mode="$mode on headless sway"
  awk -v s="$screen" -v t="$ticks" -v f="$from" -v w="$wall" -v all=$((total_after - total_before)) -v m="$main" \
    -v r="$raster" -v k="$worker" -v b="$busiest" -v p="$(basename "$program")" -v mode="$mode" 'BEGIN {
      # The set emerges over the first 144 s (2880 steps of 50 ms).
      target = f < 144 ? 10 : 5
      printf "%s at %s (%s): %.1f%% of a core over seconds %d-%.0f (target <= %d where the back buffer is kept): main thread %.1f%%, llvmpipe threads %.1f%%, busiest other thread %.1f%% (other threads %.1f%% in all)\n",
        p, s, mode, 100 * all / t / w, f, f + w, target, 100 * m / t / w, 100 * r / t / w, 100 * b / t / w, 100 * k / t / w }'
}

for screen in "${screens[@]}"; do
  start_screen "$screen"
  start_saver
  started="$(date +%s.%N)"
  IFS=, read -r -a span_list <<<"$spans"
  for span in "${span_list[@]}"; do
    measure "$screen" "${span%-*}" "${span#*-}"
  done
  if [[ "$program" == *.scr ]]; then
    WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
    # The server writes the prefix's registry as it ends.
    WINEPREFIX="$prefix" wineserver -w 2>/dev/null || true
  fi
  # The hacks before their display, which they would report gone.
  kill "${hacks[@]}" 2>/dev/null || true
  wait "${hacks[@]}" 2>/dev/null || true
  end_background_jobs
  [ "$wayland" = 0 ] || rm -rf "$sway_folder"
done
