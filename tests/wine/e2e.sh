#!/usr/bin/env bash
# End-to-end suite of the Windows saver: the real velmora.scr (64-bit or
# 32-bit, the programs below built alike) under
# Wine on a private Xvfb display with a fresh Wine prefix, both started here
# and stopped on every exit. Real input comes from xdotool, pictures from
# xwd; saver_probe.exe starts programs inside Wine and reports their exit
# codes and windows. Every case prints "ok" or "FAILED"; the suite fails when
# one case fails.
#
# Usage: e2e.sh --saver velmora.scr --fault-saver velmora-fault.scr
#               --probe saver_probe.exe --picture-check picture_check.exe
#               --password-cpl PASSWORD.CPL --mpr MPR.DLL
#               --comctl32 COMCTL32.DLL --work DIR
set -uo pipefail

here=$(dirname "$(readlink -f "$0")")
# shellcheck source=../../scripts/suite_lib.sh
source "$here/../../scripts/suite_lib.sh"
# shellcheck source=wine_display.sh
source "$here/wine_display.sh"
# shellcheck source=saver_runs.sh
source "$here/saver_runs.sh"
saver_built='' fault_built='' probe_exe='' picture_check_exe='' password_cpl='' mpr_dll='' comctl32_dll='' work=''
parse_options --saver=saver_built --fault-saver=fault_built --probe=probe_exe --picture-check=picture_check_exe \
  --password-cpl=password_cpl --mpr=mpr_dll --comctl32=comctl32_dll --work=work -- "$@"

rm -rf "$work"
mkdir -p "$work/bin" "$work/runs"
started=$SECONDS
xvfb_pid=""

trap stop_display_and_prefix EXIT
trap 'exit 130' INT TERM

say() { echo "$*"; }

# The rest of the line after KEY=, for values with blanks.
text_field() {
  tr -d '\r' <"$1" 2>/dev/null | grep "^$2=" | tail -n 1 | cut -d= -f2-
}

# --- The display and the Wine prefix ----------------------------------------

start_display_and_prefix 800 600
# Kept between cases; it ends by itself 30 s after the last program.
wineserver -p30

# Without a window manager Wine would wait 2 s for each unmapped managed
# window; no debugger, so that UnhandledExceptionFilter answers "handle" at
# once, as Windows does after its error report; the stand-ins MPR.DLL and
# COMCTL32.DLL next to the saver are loaded in place of Wine's own.
cat >"$work/settings.reg" <<'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]
"Debugger"="velmora-no-debugger %ld %ld"
"Auto"="1"

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Windows NT\CurrentVersion\AeDebug]
"Debugger"="velmora-no-debugger %ld %ld"
"Auto"="1"

[HKEY_CURRENT_USER\Software\Wine\AppDefaults\velmora.scr\DllOverrides]
"mpr"="native,builtin"
"comctl32"="native,builtin"
EOF
wine regedit /S "Z:${work//\//\\}\\settings.reg" >/dev/null 2>&1

# The saver with the stand-ins of the legacy family's components next to it,
# as the system would find them. Log and control files of the stand-ins:
cp "$saver_built" "$fault_built" "$password_cpl" "$mpr_dll" "$comctl32_dll" "$work/bin/"
saver="Z:${work//\//\\}\\bin\\velmora.scr"
fault_saver="Z:${work//\//\\}\\bin\\$(basename "$fault_built")"
export VELMORA_FAKE_LOG="Z:$work/components.log"
export VELMORA_FAKE_CONTROL="Z:$work/control.txt"
components_log="$work/components.log"
: >"$components_log"

picture_check() { wine_output "$picture_check_exe" "$@"; }
set_password_value() { # dword N | binary HEX | delete
  case "$1" in
    delete) probe reg delete 'Control Panel\Desktop' ScreenSaveUsePassword >/dev/null ;;
    *) probe reg "$1" 'Control Panel\Desktop' ScreenSaveUsePassword "$2" >/dev/null ;;
  esac
}
control() { printf '%s\n' "$@" >"$work/control.txt"; }

# Runs PROGRAM ARGS to its end with the probe; the report goes to runs/NAME.
run_to_end() { # NAME PROBE-OPTIONS... -- PROGRAM ARGS...
  local name=$1
  shift
  local options=()
  while [ "$1" != "--" ]; do options+=("$1"); shift; done
  shift
  probe run "${options[@]}" "$@" >"$work/runs/$name"
  # Now and then Wine starts no program at all and says nothing: the probe's
  # report is empty, not even its first line. Once more then.
  [ -s "$work/runs/$name" ] || probe run "${options[@]}" "$@" >"$work/runs/$name"
}

# Long enough for input to reach the saver and a close request to take
# effect (about 0.4 s here), with room for a loaded machine.
settle() { sleep 2; }

stop_saver() { # NAME: ends a saver that a case left running, with a key
  window_gone "$1" || xdotool key Escape
  gone_within "$1" 10 || true
  wait_for_end "$1" >/dev/null
}

# The stand-ins' log without its CR LF line ends, and counts of its lines.
components() { tr -d '\r' <"$components_log"; }
count_lines() { components | grep -c "$1" || true; }

# The rest of the first line of FILE that begins with WORD.
line_after() { # FILE WORD
  tr -d '\r' <"$1" 2>/dev/null | grep "^$2 " | head -n 1 | cut -d' ' -f2-
}

# A screenshot of the display as a file NAME.xwd in the work folder.
screenshot() { xwd -root -silent >"$work/$1.xwd"; }

# How many pixels differ between two screenshots: the animation moving.
pixels_changed() { # NAME NAME
  compare -metric AE -fuzz 2% "xwd:$work/$1.xwd" "xwd:$work/$2.xwd" null: 2>&1 | cut -d' ' -f1
}
is_positive() { awk -v n="$1" 'BEGIN { print (n + 0 > 0) ? "yes" : "no" }'; }

# Whether the system regards a screen saver as running, read by a process
# of its own.
saver_running_state() { probe running | grep -o 'saver_running=[01]' | cut -d= -f2; }

# --- Switch table ------------------------------------------------------------

say "== switch table"
set_password_value dword 1
for tail in "/x /s" "/p" "/p 0" "/p:1234" "/p 1234" "/p 4294967295" "/c" "/c:0" "/c 1234" "" "/a 1234"; do
  name="switch ${tail:-(empty)}"
  # shellcheck disable=SC2086 # the tail is split into words on purpose
  run_to_end "switch" --timeout 20000 -- "$saver" $tail
  report="$work/runs/switch"
  expect "$name: exit code" "$(field "$report" exit)" "-1"
  expect "$name: no window created" "$(field "$report" created)" "0"
done
expect "switch /a on the NT family: no component loaded" "$(count_lines '^load')" "0"

for tail in "/s" "-S" "s" "/s /x"; do
  name="switch $tail"
  # shellcheck disable=SC2086
  run_to_end "switch" --timeout 20000 --close-after 500 -- "$saver" $tail
  report="$work/runs/switch"
  expect "$name: runs full screen" "$(grep -c '^ready' "$report")" "1"
  expect "$name: exit code after a key" "$(field "$report" exit)" "0"
done
expect "full screen on the NT family: no password component loaded" "$(count_lines '^load password')" "0"

# --- The full-screen window ---------------------------------------------------

say "== full-screen window"
if start_saver fullscreen "$saver" /s; then
  probe info >"$work/info"
  expect "class" "$(field "$work/info" class)" "WindowsScreenSaverClass"
  expect "title" "$(text_field "$work/info" title)" "Screen Saver"
  expect "covers the virtual screen" "$(field "$work/info" rect)" "$(field "$work/info" virtual)"
  expect "virtual screen is the display" "$(field "$work/info" virtual)" "0,0,800,600"
  expect "top-most" "$(field "$work/info" topmost)" "1"
  expect "styles" "$(field "$work/info" style) $(field "$work/info" exstyle)" "0x96000000 0x00000088"

  run_to_end second --timeout 20000 -- "$saver" /s
  expect "second /s: exit code" "$(field "$work/runs/second" exit)" "0"
  expect "second /s: no window of its own" "$(field "$work/runs/second" saver_windows)" "0"
  probe info >"$work/info"
  expect "second /s: the first is in front" "$(field "$work/info" foreground) $(field "$work/info" hwnd)" \
    "1 $(tr -d '\r' <"$work/runs/fullscreen" | grep '^ready' | grep -o 'hwnd=[0-9]*' | cut -d= -f2)"

  probe settitle "Changed" >"$work/title"
  expect "WM_SETTEXT is refused" "$(text_field "$work/title" title)" "Screen Saver"

  # Messages that must not close it: refused system commands, a granted
  # suspend query, status changes, a resume after a failure, button
  # releases and double clicks alone.
  probe send 0x112:0xF140:0 0x112:0xF040:0 0x112:0xF050:0 0x218:0:0 0x218:10:0 0x218:0x8013:0 \
    0x218:7:1 0x218:18:1 0x202:0:0 0x203:0:0 0x205:0:0 0x101:0x20:0 >"$work/sends"
  for message in "0x112 0xf140 SC_SCREENSAVE" "0x112 0xf040 SC_NEXTWINDOW" "0x112 0xf050 SC_PREVWINDOW" \
    "0x218 0x0 PBT_APMQUERYSUSPEND" "0x218 0xa PBT_APMPOWERSTATUSCHANGE" "0x218 0x8013 PBT_POWERSETTINGCHANGE" \
    "0x218 0x7 resume-after-failure" "0x218 0x12 automatic-resume-after-failure" "0x202 0x0 WM_LBUTTONUP" \
    "0x203 0x0 WM_LBUTTONDBLCLK" "0x205 0x0 WM_RBUTTONUP" "0x101 0x20 WM_KEYUP"; do
    # shellcheck disable=SC2086 # a table row, split into its fields
    set -- $message
    line=$(grep "^message=$1 wparam=$2 " "$work/sends")
    expect "$3 leaves the saver running" "$(echo "$line" | grep -o 'alive=[01]')" "alive=1"
  done
  expect "SC_SCREENSAVE is refused with 0" "$(grep '^message=0x112 wparam=0xf140 ' "$work/sends" | grep -o 'result=[0-9]*')" "result=0"
  expect "a suspend query is granted with 1" "$(grep '^message=0x218 wparam=0x0 ' "$work/sends" | grep -o 'result=[0-9]*')" "result=1"
  stop_saver fullscreen
  expect "full screen ends with 0" "$(field "$work/runs/fullscreen" exit)" "0"
fi

# Messages that close it, each in a run of its own.
for message in "0x112:0xF170:2 SC_MONITORPOWER" "0x1C:0:0 deactivation" "0x218:4:0 PBT_APMSUSPEND" \
  "0x218:1:0 PBT_APMQUERYSTANDBY" "0x218:7:0 PBT_APMRESUMESUSPEND" "0x218:0x20:0 unknown-power-event" \
  "0x48:3:0 WM_POWER-critical-resume"; do
  # shellcheck disable=SC2086 # a table row, split into its fields
  set -- $message
  if start_saver closing "$saver" /s; then
    probe send "$1" >/dev/null
    expect "$2 closes the saver" "$(gone_within closing 10 && echo closed)" "closed"
    expect "$2: exit code" "$(wait_for_end closing)" "0"
  fi
done

# --- The picture ----------------------------------------------------------------

say "== picture"
# The first screenshot is the one that showed the window; then the set must
# emerge: a screenshot some seconds on, and later ones until the picture has
# moved on by a pass (the worker slows down on a loaded machine).
xdotool mousemove 400 300
if start_saver picture "$saver" /s; then
  cp "$work/shown.xwd" "$work/shot-start.xwd"
  picture_started=$SECONDS
  sleep 6
  xwd -root -silent >"$work/shot-early.xwd"
  convert "xwd:$work/shot-early.xwd" "ppm:$work/shot-early.ppm"
  picture_check set "Z:$work/shot-early.ppm" >"$work/picture-early"
  early_pass=$(field "$work/picture-early" best_pass)
  while [ $((SECONDS - picture_started)) -lt 45 ]; do
    sleep 3
    xwd -root -silent >"$work/shot-later.xwd"
    convert "xwd:$work/shot-later.xwd" "ppm:$work/shot-later.ppm"
    picture_check set "Z:$work/shot-later.ppm" >"$work/picture-later"
    [ "$(field "$work/picture-later" best_pass)" -gt "${early_pass:-0}" ] 2>/dev/null && break
  done
  stop_saver picture
  convert "xwd:$work/shot-start.xwd" "ppm:$work/shot-start.ppm"
  picture_check black "Z:$work/shot-start.ppm" >"$work/picture-start"
  for shot in start early later; do
    convert "xwd:$work/shot-$shot.xwd" "$work/shot-$shot.png"
    say "$shot: $(tr '\n' ' ' <"$work/picture-$shot")"
  done
  share=$(field "$work/picture-start" black_share)
  expect "first the opaque black plane over the white screen" "$(awk -v s="$share" 'BEGIN { print (s >= 0.85) }')" "1"
  for shot in early later; do
    match=$(field "$work/picture-$shot" best_match)
    expect "$shot screenshot matches the core's picture of its pass" "$(awk -v m="$match" 'BEGIN { print (m >= 0.8) }')" "1"
  done
  later_pass=$(field "$work/picture-later" best_pass)
  expect "the set emerges pass by pass" \
    "$(awk -v a="$early_pass" -v b="$later_pass" 'BEGIN { print (b >= 1 && b > a) }')" "1"
  expect "the emerged set is no longer the black plane" \
    "$(awk -v m="$(field "$work/picture-later" best_match)" -v z="$(field "$work/picture-later" match_at_pass_0)" \
      'BEGIN { print (m - z >= 0.2) }')" "1"
fi

# --- A display scaled to 150 % ---------------------------------------------------

# LogPixels 144 in the prefix (Wine reads it when its server starts): the
# saver must still cover the screen's pixels and draw the set. The probe is
# DPI-aware itself, so it reads real pixels. Then 96 DPI again for the rest.
say "== scaled display (LogPixels 144)"
restart_wineserver() { wineserver -k; wineserver -w; wineserver -p30; }
probe reg dword 'Control Panel\Desktop' LogPixels 144 >/dev/null
restart_wineserver
xdotool mousemove 400 300
if start_saver scaled "$saver" /s; then
  probe dpi >"$work/dpi-scaled"
  expect "144 DPI in force" "$(field "$work/dpi-scaled" logpixels)" "144"
  expect "at 144 DPI the saver's client area is the screen's pixels" \
    "$(field "$work/dpi-scaled" screen) $(field "$work/dpi-scaled" client)" "800x600 800x600"
  # Screenshots until one shows a pass beyond the black plane.
  scaled_started=$SECONDS
  while :; do
    xwd -root -silent >"$work/shot-scaled.xwd"
    convert "xwd:$work/shot-scaled.xwd" "ppm:$work/shot-scaled.ppm"
    picture_check set "Z:$work/shot-scaled.ppm" >"$work/picture-scaled"
    [ "$(field "$work/picture-scaled" best_pass)" -ge 1 ] 2>/dev/null && break
    [ $((SECONDS - scaled_started)) -lt 45 ] || break
    sleep 3
  done
  stop_saver scaled
  convert "xwd:$work/shot-scaled.xwd" "$work/shot-scaled.png"
  say "scaled: $(tr '\n' ' ' <"$work/picture-scaled")"
  expect "at 144 DPI the set is drawn as the core computes it" \
    "$(awk -v p="$(field "$work/picture-scaled" best_pass)" -v m="$(field "$work/picture-scaled" best_match)" \
      'BEGIN { print (p >= 1 && m >= 0.8) }')" "1"
fi
probe reg delete 'Control Panel\Desktop' LogPixels >/dev/null
restart_wineserver
probe dpi >"$work/dpi-after"
expect "LogPixels removed: 96 DPI again" "$(field "$work/dpi-after" logpixels)" "96"

# --- Close rules with real input ------------------------------------------------

say "== close rules (xdotool)"
xdotool mousemove 400 300
if start_saver mouse-5 "$saver" /s; then
  sleep 1
  xdotool mousemove_relative 3 0
  settle
  expect "a move of 3 pixels leaves it running" "$(window_gone mouse-5 && echo closed || echo running)" "running"
  xdotool mousemove_relative 0 2
  expect "a further 2 pixels (5 in all) close it" "$(gone_within mouse-5 10 && echo closed)" "closed"
  expect "closed by the mouse: exit code" "$(wait_for_end mouse-5)" "0"
fi

xdotool mousemove 400 300
if start_saver mouse-4 "$saver" /s; then
  sleep 1
  xdotool mousemove_relative 2 0
  xdotool mousemove_relative 0 -2
  settle
  expect "moves of 4 pixels in all leave it running" "$(window_gone mouse-4 && echo closed || echo running)" "running"
  xdotool key a
  expect "a key closes it" "$(gone_within mouse-4 10 && echo closed)" "closed"
  expect "closed by a key: exit code" "$(wait_for_end mouse-4)" "0"
fi

for input in "click 1 left-click" "click 2 middle-click" "click 3 right-click" "key alt+x Alt-combination"; do
  # shellcheck disable=SC2086 # a table row, split into its fields
  set -- $input
  xdotool mousemove 400 300
  if start_saver input "$saver" /s; then
    sleep 0.5
    xdotool "$1" "$2"
    expect "a $3 closes it" "$(gone_within input 10 && echo closed)" "closed"
    expect "$3: exit code" "$(wait_for_end input)" "0"
  fi
done

# --- Preview ------------------------------------------------------------------------

say "== preview"
for size in "152 112" "0 0"; do
  # shellcheck disable=SC2086 # a table row, split into its fields
  set -- $size
  probe preview "$saver" "$1" "$2" >"$work/preview-$1x$2"
  report="$work/preview-$1x$2"
  expect "preview ${1}x$2: child of the parent titled Preview" "$(field "$report" child) $(field "$report" title) $(field "$report" child_style)" "1 Preview 1"
  expect "preview ${1}x$2: the parent's client size" "$(field "$report" same_client)" "1"
  expect "preview ${1}x$2: keys, clicks and movement do not close it" "$(field "$report" survived_input)" "1"
  expect "preview ${1}x$2: keeps its size" "$(field "$report" kept_size)" "1"
  expect "preview ${1}x$2: ends with its parent" "$(field "$report" ended) $(field "$report" exit)" "1 0"
done
expect "preview: context menu passed to the parent" "$(field "$work/preview-152x112" context_menu_to_parent)" "1"

# Ended from outside while it draws: the parent destroyed at once or after
# some frames, or the process killed by the display settings. Either way no
# saver window and no saver process may stay behind.
for ending in "destroy 0" "destroy 1500" "kill 1500"; do
  # shellcheck disable=SC2086 # a table row, split into its fields
  set -- $ending
  report="$work/preview-$1-$2"
  name="preview, $1 after $2 ms"
  probe preview-end "$saver" 152 112 "$1" "$2" >"$report"
  if [ "$2" -gt 0 ]; then
    # Under Wine another process's OpenGL child does not show on the display;
    # its window thread's processor time shows it drawing (an idle one uses
    # well under 1 % of the time).
    expect "$name: it was drawing" \
      "$(awk -v b="$(field "$report" window_thread_busy_ms)" -v w="$2" 'BEGIN { print (b >= w / 10) }')" "1"
  fi
  expect "$name: its window and process seen before" "$(line_after "$report" before)" "saver_windows=1 saver_processes=1"
  expect "$name: the process ended" "$(field "$report" ended)" "1"
  if [ "$1" = destroy ]; then
    expect "$name: exit code" "$(field "$report" exit)" "0"
  else
    expect "$name: exit code is the one TerminateProcess gave" "$(field "$report" exit)" "1"
    expect "$name: the parent lives on without a child" \
      "$(field "$report" parent_alive) $(field "$report" children)" "1 0"
  fi
  expect "$name: no saver window and no saver process remain" \
    "$(field "$report" child_alive) $(line_after "$report" after)" "0 saver_windows=0 saver_processes=0"
done

# --- Fault guard -----------------------------------------------------------------------

say "== fault guard"
for fault in "access -1" "bad_alloc -1" "bad_alloc_at_create -1" "none 0"; do
  # shellcheck disable=SC2086 # a table row, split into its fields
  set -- $fault
  VELMORA_FAULT=$1 run_to_end fault --timeout 20000 --close-after 1000 -- "$fault_saver" /s
  expect "fault $1 on the window thread: exit code" "$(field "$work/runs/fault" exit)" "$2"
done
VELMORA_FAULT=worker run_to_end fault --timeout 20000 -- "$fault_saver" /s
expect "fault on another thread is left to the system" "$(field "$work/runs/fault" exit)" "-1073741819"

# --- The system version the saver is told ------------------------------------------
# Wine reports the version of AppDefaults\velmora.scr to the saver. The
# stand-in COMCTL32.DLL logs the start-up calls with the version that the
# saver's process sees, so each run shows the family it was told.

# The common controls' start-up calls and the version, from the log.
common_controls_calls() {
  echo "$(components | grep '^common_controls ' | head -n 1 | cut -d' ' -f2-)," \
    "$(components | grep '^common_controls_ex ' | head -n 1 | cut -d' ' -f2-)"
}

# The Windows NT family, as NT 4.0: no password handling, /a does nothing.
say "== NT family (Version nt40)"
probe reg string 'Software\Wine\AppDefaults\velmora.scr' Version nt40 >/dev/null
set_password_value dword 1
: >"$components_log"
run_to_end change --timeout 20000 -- "$saver" /a 1234
expect "nt40: told NT 4.0; InitCommonControlsEx for the tab classes" "$(common_controls_calls)" \
  "platform=2 version=4.0, size=8 classes=0x8"
expect "nt40 /a: exit code, no window" "$(field "$work/runs/change" exit) $(field "$work/runs/change" created)" "-1 0"
expect "nt40 /a: no component loaded" "$(count_lines '^load')" "0"
: >"$components_log"
xdotool mousemove 400 300
if start_saver nt40 "$saver" /s; then
  sleep 0.5
  xdotool key a
  expect "nt40 full screen: a key closes it" "$(gone_within nt40 10 && echo closed)" "closed"
  expect "nt40 full screen: exit code" "$(wait_for_end nt40)" "0"
  expect "nt40 full screen: no password component, though the value asks for one" "$(count_lines '^load')" "0"
fi
probe preview "$saver" 152 112 >"$work/preview-nt40"
expect "nt40 preview: child of the parent, ends with it" \
  "$(field "$work/preview-nt40" child) $(field "$work/preview-nt40" ended) $(field "$work/preview-nt40" exit)" "1 1 0"

# The Windows 95/98/Me family: what every version of it must do, under
# Windows 95 and 98; the finer cases after, under 98.
for version in "win95 4.0" "win98 4.10"; do
  # shellcheck disable=SC2086 # a table row, split into its fields
  set -- $version
  say "== legacy family (Version $1)"
  probe reg string 'Software\Wine\AppDefaults\velmora.scr' Version "$1" >/dev/null
  : >"$components_log"
  run_to_end change --timeout 20000 -- "$saver" /a 1234
  expect "$1: told the 95/98/Me family; InitCommonControlsEx for the tab classes" "$(common_controls_calls)" \
    "platform=1 version=$2, size=8 classes=0x8"
  expect "$1 /a: exit code" "$(field "$work/runs/change" exit)" "0"
  expect "$1 /a: MPR.DLL called with SCRSAVE" "$(components | grep -o 'change provider=[^ ]* ' | head -n 1)" "change provider=SCRSAVE "
  expect "$1 /a: the rest of the call" "$(components | grep '^change' | grep -o 'reserved=.*')" "reserved=0 more=0"
  expect "$1 /a: MPR.DLL loaded and freed" "$(count_lines '^load mpr') $(count_lines '^unload mpr')" "1 1"

  set_password_value dword 1
  control answer=1
  : >"$components_log"
  xdotool mousemove 400 300
  if start_saver "legacy-$1" "$saver" /s; then
    expect "$1 password: PASSWORD.CPL loaded before the window" "$(count_lines '^load password')" "1"
    sleep 0.5
    xdotool key a
    expect "$1 password: accepted, it closes" "$(gone_within "legacy-$1" 10 && echo closed)" "closed"
    expect "$1 password: exit code" "$(wait_for_end "legacy-$1")" "0"
    expect "$1 password: asked once, PASSWORD.CPL freed" "$(count_lines '^verify') $(count_lines '^unload password')" "1 1"
  fi

  : >"$components_log"
  probe preview "$saver" 152 112 >"$work/preview-legacy"
  expect "$1 preview: ends with its parent" "$(field "$work/preview-legacy" exit)" "0"
  expect "$1 preview: no password component" "$(count_lines '^load')" "0"
done

say "== legacy family, finer cases (Version win98)"
for value in "delete -" "dword 0" "binary 0100000000"; do
  # shellcheck disable=SC2086 # a table row, split into its fields
  set -- $value
  set_password_value "$1" "$2"
  : >"$components_log"
  xdotool mousemove 400 300
  if start_saver no-password "$saver" /s; then
    sleep 0.5
    xdotool key a
    expect "password value $1 $2: a key closes it" "$(gone_within no-password 10 && echo closed)" "closed"
    expect "password value $1 $2: exit code" "$(wait_for_end no-password)" "0"
    expect "password value $1 $2: no library loaded" "$(count_lines '^load')" "0"
  fi
done

set_password_value dword 1
: >"$components_log"
control answer=0 hold_ms=4000 show_cursor=1
xdotool mousemove 400 300
if start_saver password "$saver" /s; then
  expect "password: PASSWORD.CPL loaded before the window" "$(count_lines '^load password')" "1"
  expect "password: the system sees a saver running" "$(saver_running_state)" "1"
  sleep 0.5
  xdotool key a
  for _ in $(seq 50); do grep -q '^verify' <<<"$(components)" && break; sleep 0.1; done
  probe cursor >"$work/cursor-during-prompt"
  # While the prompt is up: movement, keys, clicks and a WM_CLOSE ask
  # nothing more and close nothing, and the animation goes on behind it.
  screenshot prompt-1
  xdotool mousemove_relative 30 30
  xdotool key b
  xdotool click 1
  xdotool click 3
  probe send 0x10:0:0 >"$work/close-during-prompt"
  screenshot prompt-2
  for _ in $(seq 80); do grep -q '^answer' <<<"$(components)" && break; sleep 0.1; done
  probe cursor >"$work/cursor-after-refusal"
  screenshot refused-1
  sleep 1
  screenshot refused-2
  sleep 1
  expect "password: asked once per close request, none left over from the input" "$(count_lines '^verify')" "1"
  verify_tick=$(components | grep '^verify' | head -n 1 | grep -o 'tick=[0-9]*' | cut -d= -f2)
  answer_tick=$(components | grep '^answer' | head -n 1 | grep -o 'tick=[0-9]*' | cut -d= -f2)
  sent_tick=$(field "$work/close-during-prompt" sent_tick)
  expect "password: the input and the WM_CLOSE came while the prompt was up" \
    "$(awk -v v="$verify_tick" -v s="$sent_tick" -v a="$answer_tick" 'BEGIN { print (v <= s && s <= a) }')" "1"
  expect "password: asked with the saver running and no input method" \
    "$(components | grep '^verify' | head -n 1 | grep -o 'running=.*')" "running=1 input_context=0"
  expect "password: the prompt's input did not close it" "$(field "$work/close-during-prompt" alive)" "1"
  expect "password: it drew behind the prompt" "$(is_positive "$(pixels_changed prompt-1 prompt-2)")" "yes"
  cursor_tick=$(field "$work/cursor-during-prompt" tick)
  expect "password: the prompt showed the cursor" "$(field "$work/cursor-during-prompt" cursor_handle) $(
    awk -v v="$verify_tick" -v c="$cursor_tick" -v a="$answer_tick" 'BEGIN { print (v <= c && c <= a) }')" "1 1"
  expect "password: a refusal keeps it running" "$(window_gone password && echo closed || echo running)" "running"
  expect "password: a refusal hides the cursor again" "$(field "$work/cursor-after-refusal" cursor_handle)" "0"
  expect "password: it draws on after a refusal" "$(is_positive "$(pixels_changed refused-1 refused-2)")" "yes"

  # A refusal, then at once a key: the request within 200 ms is refused
  # without asking.
  control answer=0 key_after=1
  xdotool key c
  settle
  expect "password: a request within 200 ms is refused outright" "$(count_lines '^verify')" "2"
  expect "password: still running after it" "$(window_gone password && echo closed || echo running)" "running"

  control answer=1
  xdotool key d
  expect "password: acceptance closes it" "$(gone_within password 10 && echo closed)" "closed"
  expect "password: exit code" "$(wait_for_end password)" "0"
  expect "password: asked a third time" "$(count_lines '^verify')" "3"
  expect "password: PASSWORD.CPL freed at the end" "$(count_lines '^unload password')" "1"
fi

# The fault guard with a password in force: the saver-running state that the
# loaded verifier set is off again after the fault. The state is system-wide
# in Wine too (a probe process reads it while the saver runs).
probe reg string 'Software\Wine\AppDefaults\velmora-fault.scr' Version win98 >/dev/null
: >"$components_log"
expect "fault with a password: no saver running before" "$(saver_running_state)" "0"
xdotool mousemove 400 300
if VELMORA_FAULT=access VELMORA_FAULT_AFTER_MS=3000 start_saver fault-legacy "$fault_saver" /s; then
  expect "fault with a password: PASSWORD.CPL loaded" "$(count_lines '^load password')" "1"
  expect "fault with a password: the system sees a saver running" "$(saver_running_state)" "1"
  expect "fault with a password: exit code" "$(wait_for_end fault-legacy)" "-1"
  expect "fault with a password: no saver running after the fault" "$(saver_running_state)" "0"
fi
VELMORA_FAULT=bad_alloc run_to_end fault --timeout 20000 -- "$fault_saver" /s
expect "bad_alloc with a password: exit code" "$(field "$work/runs/fault" exit)" "-1"
expect "bad_alloc with a password: no saver running after it" "$(saver_running_state)" "0"
# While the window is created: the verifier is loaded (so the state was on)
# before the allocation fails inside CreateWindowEx.
: >"$components_log"
VELMORA_FAULT=bad_alloc_at_create run_to_end fault --timeout 20000 -- "$fault_saver" /s
expect "bad_alloc in WM_CREATE with a password: exit code" "$(field "$work/runs/fault" exit)" "-1"
expect "bad_alloc in WM_CREATE with a password: PASSWORD.CPL was loaded" "$(count_lines '^load password')" "1"
expect "bad_alloc in WM_CREATE with a password: no saver running after it" "$(saver_running_state)" "0"
probe reg delete 'Software\Wine\AppDefaults\velmora-fault.scr' Version >/dev/null

probe reg delete 'Software\Wine\AppDefaults\velmora.scr' Version >/dev/null

finish_cases "e2e suite" "$started"
