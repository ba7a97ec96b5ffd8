#!/usr/bin/env bash
# The Windows saver on two and three monitors: the real velmora.scr (64-bit
# or 32-bit) under Wine on a Xephyr server whose heads Xinerama joins into
# one screen, nested in a private Xvfb, with a fresh Wine prefix. Wine sees
# each head as a monitor once it is told not to ask XRandR. For each layout:
# the monitors Wine reports, then /s: one window exactly over the virtual
# screen, the core's picture of that size on every monitor, a click on the
# second monitor closing it; and /p in a parent on the second monitor,
# drawing in its child there and nowhere else. Every case prints "ok" or
# "FAILED"; the suite fails when one case fails.
#
# Usage: monitors.sh --saver velmora.scr --probe saver_probe.exe
#                    --picture-check picture_check.exe --work DIR
set -uo pipefail

here=$(dirname "$(readlink -f "$0")")
# shellcheck source=../../scripts/suite_lib.sh
source "$here/../../scripts/suite_lib.sh"
# shellcheck source=wine_display.sh
source "$here/wine_display.sh"
# shellcheck source=saver_runs.sh
source "$here/saver_runs.sh"
saver_built='' probe_exe='' picture_check_exe='' work=''
parse_options --saver=saver_built --probe=probe_exe --picture-check=picture_check_exe --work=work -- "$@"

rm -rf "$work"
mkdir -p "$work/bin" "$work/runs"
started=$SECONDS
xvfb_pid=""
heads_pid=""

stop_all() {
  [ -n "$heads_pid" ] && kill "$heads_pid" 2>/dev/null
  stop_display_and_prefix
}
trap stop_all EXIT
trap 'exit 130' INT TERM

command -v Xephyr >/dev/null || { fail "Xephyr is installed (scripts/install-deps.sh test)"; exit 1; }

# Each layout: its name, Xephyr's heads, then what Wine must report: the
# virtual screen and the monitors (left, top, width, height), the primary
# first. The second monitor listed is the one clicked and previewed on.
layouts=(
  "side by side, of different heights|-screen 1024x768 -screen 800x600|0,0,1824,768|0,0,1024,768 1024,0,800,600"
  "the second monitor left of the primary|-origin 800,0 -screen 1024x768 -origin 0,0 -screen 800x600|-800,0,1824,768|0,0,1024,768 -800,0,800,600"
  "three, the second above the primary|-origin 0,600 -screen 1024x768 -origin 0,0 -screen 800x600 -origin 1024,600 -screen 640x480|0,-600,1664,1368|0,0,1024,768 0,-600,800,600 1024,0,640,480"
)

start_display_and_prefix 640 480
host_display=$DISPLAY
cat >"$work/settings.reg" <<'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
"UseXRandR"="N"
EOF
wine regedit /S "Z:${work//\//\\}\\settings.reg" >/dev/null 2>&1
wineserver -w
cp "$saver_built" "$work/bin/"
saver="Z:${work//\//\\}\\bin\\$(basename "$saver_built")"
picture_check() { wine_output "$picture_check_exe" "$@"; }

# start_heads XEPHYR-ARGUMENT...: the nested server of this layout, with a
# white root; DISPLAY names it, and Wine's server starts again to see it.
start_heads() {
  [ -n "$heads_pid" ] && kill "$heads_pid" 2>/dev/null && wait "$heads_pid" 2>/dev/null
  wineserver -k 2>/dev/null
  wineserver -w
  export DISPLAY=$host_display
  start_x_server "$work/xephyr.log" Xephyr -wr +xinerama "$@" || return 1
  heads_pid=$x_server_pid
  wineserver -p30
}

# A rectangle LEFT,TOP,WIDTH,HEIGHT of Windows' virtual screen in X's
# coordinates, where the virtual screen's corner is the root's origin.
to_x() { # RECTANGLE VIRTUAL
  local l t w h vl vt
  IFS=, read -r l t w h <<<"$1"
  IFS=, read -r vl vt _ <<<"$2"
  echo "$((l - vl)),$((t - vt)),$w,$h"
}

# Screenshots until one shows the fourth pass or a later one (45 s at
# most: the core's model of the first passes' smooth colours is rougher),
# compared on the monitors alone: between heads of other sizes X shows
# anything. The last comparison goes to picture-NAME.
picture_on_monitors() { # NAME AREA...
  local name=$1
  shift
  local since=$SECONDS
  while :; do
    xwd -root -silent >"$work/shot-$name.xwd"
    convert "xwd:$work/shot-$name.xwd" "ppm:$work/shot-$name.ppm"
    picture_check set "Z:$work/shot-$name.ppm" "$@" >"$work/picture-$name"
    [ "$(field "$work/picture-$name" best_pass)" -ge 4 ] 2>/dev/null && break
    [ $((SECONDS - since)) -lt 45 ] || break
    sleep 2
  done
  convert "xwd:$work/shot-$name.xwd" "$work/shot-$name.png"
  echo "picture: $(tr '\n' ' ' <"$work/picture-$name")"
}

# Starts /p in a parent of 300 x 225 at X, Y; once its child has drawn for
# a while (its first moments are Wine's own), the screen is shot
# (preview-NAME.xwd). The report goes to runs/preview-NAME.
preview_on() { # NAME X Y
  local report="$work/runs/preview-$1" preview_pid
  for _ in 1 2 3; do
    wine "$probe_exe" preview "$saver" 300 225 "$2" "$3" >"$report" 2>>"$work/wine-stderr.log" &
    preview_pid=$!
    for _ in $(seq 200); do
      grep -q '^child=' "$report" && break
      wine_started_nothing "$report" && break
      sleep 0.1
    done
    wine_started_nothing "$report" || break
    wait "$preview_pid"
  done
  sleep 0.6
  xwd -root -silent >"$work/preview-$1.xwd"
  wait "$preview_pid"
}

# The mean brightness of the darkest area of a screenshot, the rectangle
# LEFT,TOP,WIDTH,HEIGHT painted white first.
darkest_area() { # XWD RECTANGLE AREA...
  local shot=$1 area l t w h
  IFS=, read -r l t w h <<<"$2"
  shift 2
  convert "xwd:$shot" -fill white -draw "rectangle $l,$t $((l + w - 1)),$((t + h - 1))" "$shot.ppm"
  for area in "$@"; do
    IFS=, read -r l t w h <<<"$area"
    convert "$shot.ppm" -crop "${w}x${h}+${l}+${t}" -colorspace Gray -format '%[fx:mean]\n' info:
  done | sort -g | head -n 1
}

for layout in "${layouts[@]}"; do
  IFS='|' read -r name heads virtual monitors <<<"$layout"
  echo "== $name"
  # shellcheck disable=SC2086 # the heads' arguments, split on purpose
  start_heads $heads || { fail "$name: Xephyr starts"; continue; }
  tag=$(echo "$name" | tr -c 'a-z0-9\n' '-' | cut -c1-24)

  # --- What Wine reports ------------------------------------------------------
  probe monitors >"$work/monitors-$tag"
  expect "$name: Wine reports the monitors" \
    "$(grep -o '^monitor=[^ ]*' "$work/monitors-$tag" | cut -d= -f2 | tr '\n' ' ' | sed 's/ $//')" "$monitors"
  expect "$name: the first is the primary" "$(grep -m 1 -o 'primary=[01]' "$work/monitors-$tag")" "primary=1"
  expect "$name: the virtual screen" "$(field "$work/monitors-$tag" virtual)" "$virtual"
  read -r -a monitor_list <<<"$monitors"
  areas=()
  for monitor in "${monitor_list[@]}"; do areas+=("$(to_x "$monitor" "$virtual")"); done
  IFS=, read -r second_x second_y second_w second_h <<<"${areas[1]}"
  IFS=, read -r second_left second_top _ <<<"${monitor_list[1]}"

  # --- Full screen: the window, the picture, a click on the second monitor ---
  xdotool mousemove $((second_x + second_w / 2)) $((second_y + second_h / 2))
  if start_saver "full-$tag" "$saver" /s; then
    probe info >"$work/info-$tag"
    expect "$name: /s covers the virtual screen" "$(field "$work/info-$tag" rect)" "$virtual"
    IFS=, read -r _ _ virtual_w virtual_h <<<"$virtual"
    expect "$name: one X window of its size at the root's origin" \
      "$(xwininfo -root -tree | grep -c '"Screen Saver"') $(xwininfo -root -tree | grep '"Screen Saver"' | grep -o '[0-9]*x[0-9]*+[-0-9]*+[-0-9]*' | head -n 1)" \
      "1 ${virtual_w}x${virtual_h}+0+0"
    picture_on_monitors "$tag" "${areas[@]}"
    expect "$name: the set has emerged" "$(awk -v p="$(field "$work/picture-$tag" best_pass)" 'BEGIN { print (p >= 4) }')" "1"
    expect "$name: every monitor shows the core's picture of the virtual screen" \
      "$(grep '^area_match=' "$work/picture-$tag" | awk -F= '$2 < 0.8 { low++ } END { print NR, low + 0 }')" \
      "${#areas[@]} 0"
    xdotool click 1
    expect "$name: a click on the second monitor closes it" "$(gone_within "full-$tag" 10 && echo closed)" "closed"
    expect "$name: exit code, one saver window made" \
      "$(wait_for_end "full-$tag") $(field "$work/runs/full-$tag" saver_windows)" "0 1"
  fi

  # --- Preview in a parent on the second monitor -------------------------------
  preview_on "$tag" $((second_left + 40)) $((second_top + 40))
  report="$work/runs/preview-$tag"
  expect "$name: the preview is a child of the parent, of its client size" \
    "$(field "$report" child) $(field "$report" same_client)" "1 1"
  expect "$name: the preview lies in the parent on the second monitor" \
    "$(field "$report" child_screen)" "$((second_left + 40)),$((second_top + 40)),300,225"
  # Under Wine another process's OpenGL child mostly does not show on the
  # display: its window thread's processor time shows it drawing, and
  # beyond the parent every monitor still shows the white root.
  expect "$name: the preview draws" "$(awk -v b="$(field "$report" window_thread_busy_ms)" 'BEGIN { print (b >= 100) }')" "1"
  expect "$name: nothing drawn beyond the parent" \
    "$(awk -v b="$(darkest_area "$work/preview-$tag.xwd" "$((second_x + 40)),$((second_y + 40)),300,225" "${areas[@]}")" \
      'BEGIN { print (b > 0.99) }')" "1"
  expect "$name: the preview ends with its parent" "$(field "$report" ended) $(field "$report" exit)" "1 0"
done

finish_cases "monitors suite" "$started"
