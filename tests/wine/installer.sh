#!/usr/bin/env bash
# The Windows installer: its version resource, then under Wine, on a
# private Xvfb display with a fresh 64-bit prefix that has Wine's WoW64 half
# (so the installer's 32-bit code runs and a 64-bit system folder exists):
# a silent install refused while the old saver runs, silent installs with
# and without /CURRENT and one driven through its pages, the files and
# registry values they leave, the installed saver started as the system
# starts it and closed with a real key, the silent uninstall, the saver's
# window on a display scaled to 150 %, an upgrade that fails and one that
# succeeds over an installation made with /D, and an uninstall that leaves
# a running saver to the next start. Every case prints "ok" or "FAILED"; the
# suite fails when one case fails.
#
# Usage: installer.sh --setup velmora-setup-V.exe --version V --stage DIR
#                     --probe saver_probe.exe (64-bit) --work DIR
# DIR of --stage holds x64/velmora.scr and x86/velmora.scr as packed.
set -uo pipefail

here=$(dirname "$(readlink -f "$0")")
# shellcheck source=../../scripts/suite_lib.sh
source "$here/../../scripts/suite_lib.sh"
# shellcheck source=wine_display.sh
source "$here/wine_display.sh"
setup='' version='' stage='' probe_exe='' work=''
parse_options --setup=setup --version=version --stage=stage --probe=probe_exe --work=work -- "$@"

rm -rf "$work"
mkdir -p "$work"
started=$SECONDS
xvfb_pid=""

trap stop_display_and_prefix EXIT
trap 'exit 130' INT TERM

# The version resource Windows shows in the file's properties.
expect "the installer carries its version" \
  "$(strings -n 1 -el "$setup" | grep -A1 -x ProductVersion | tail -n 1)" "$version"

# --- The display and the prefix ---------------------------------------------------

# 1200 x 900 pixels: at 144 DPI a DPI-unaware program would see 800 x 600.
screen_w=1200
screen_h=900
start_display_and_prefix "$screen_w" "$screen_h"
[ -d "$WINEPREFIX/drive_c/windows/syswow64" ] || { echo "FAILED: the prefix has no WoW64 half"; exit 1; }
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

system32="$WINEPREFIX/drive_c/windows/system32"
syswow64="$WINEPREFIX/drive_c/windows/syswow64"
program_files="$WINEPREFIX/drive_c/Program Files"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora'
desktop_key='HKCU\Control Panel\Desktop'
cp "$setup" "$work/setup.exe"
setup_win="Z:${work//\//\\}\\setup.exe"

# Runs a program and waits for every process it started (an uninstaller
# goes on in a copy of itself).
run_and_wait() { wine "$@" >>"$work/wine.log" 2>&1; local code=$?; wineserver -w; echo "$code"; }
# A value's data as reg.exe prints it ("REG_SZ data"), or "absent".
reg_value() { # KEY NAME [/reg:64|/reg:32]
  local line
  line=$(wine reg query "$1" /v "$2" ${3:+"$3"} 2>/dev/null | tr -d '\r' | grep -i "^ *$2 " | head -n 1)
  if [ -z "$line" ]; then echo absent; else echo "$line" | sed -E 's/^ *[^ ]+ +//; s/ {4}/ /'; fi
}
key_exists() { wine reg query "$1" ${2:+"$2"} >/dev/null 2>&1 && echo yes || echo no; }
present() { [ -e "$1" ] && echo present || echo absent; }

brightness() { xwd -root -silent | convert xwd:- -colorspace Gray -format '%[fx:mean]' info:; }

# Starts the saver at PATH (a Windows path) with /s through the probe;
# returns once its window covers the white root.
start_saver() { # NAME PATH
  local report="$work/$1"
  : >"$report"
  wine "$probe_exe" run --timeout 60000 "$2" /s >"$report" 2>>"$work/wine.log" &
  local tries=1
  for _ in $(seq 300); do
    if wine_started_nothing "$report" && [ "$tries" -lt 3 ]; then
      tries=$((tries + 1))
      wine "$probe_exe" run --timeout 60000 "$2" /s >"$report" 2>>"$work/wine.log" &
    fi
    if grep -q '^ready' "$report"; then
      for _ in $(seq 40); do
        [ "$(awk -v b="$(brightness)" 'BEGIN { print (b < 0.25) }')" = 1 ] && return 0
        sleep 0.2
      done
      break
    fi
    grep -q '^exit=' "$report" && break
    sleep 0.1
  done
  fail "$1: the saver's window shows" "$(tr -d '\r' <"$report" | tr '\n' ' ')"
  return 1
}
# Starts SCRNSAVE.EXE /s, as the system starts it.
start_current_saver() { # NAME
  local path
  path=$(reg_value "$desktop_key" SCRNSAVE.EXE)
  start_saver "$1" "${path#REG_SZ }"
}
end_with_key() { # NAME
  xdotool key a
  for _ in $(seq 150); do
    grep -q '^exit=' "$work/$1" && break
    sleep 0.1
  done
  expect "$1: a key closes it, exit code 0" "$(grep -q '^gone' "$work/$1" && echo gone) $(field "$work/$1" exit)" "gone 0"
  wine "$probe_exe" end >/dev/null 2>&1
}

# --- Install over a saver in use --------------------------------------------------------

# An older saver (the packed one with bytes added) running full screen from
# the system folder. Wine, as Windows, refuses to open a running program's
# file for writing (and to delete it); it lets it be renamed.
echo "== install over a saver in use"
other='C:\windows\system32\other.scr'
wine reg add "$desktop_key" /v SCRNSAVE.EXE /d "$other" /f >/dev/null 2>&1
wine reg add "$desktop_key" /v ScreenSaveActive /d 0 /f >/dev/null 2>&1
{ cat "$stage/x64/velmora.scr"; printf older; } >"$system32/velmora.scr"
old_sum=$(sha256sum <"$system32/velmora.scr")
# What a failed install leaves: all as it was.
expect_unchanged() { # NAME
  expect "$1: the old saver untouched, no copy of it left" \
    "$(sha256sum <"$system32/velmora.scr") $(find "$system32" -maxdepth 1 -iname 'velmora*' | wc -l)" "$old_sum 1"
  expect "$1: no uninstaller, no uninstall entry" \
    "$([ -f "$program_files/Velmora/uninstall.exe" ] && echo present) $(key_exists "$uninstall_key" /reg:64)" " no"
  expect "$1: the current saver unchanged" \
    "$(reg_value "$desktop_key" SCRNSAVE.EXE) $(reg_value "$desktop_key" ScreenSaveActive)" "REG_SZ $other REG_SZ 0"
}
xdotool mousemove 600 450
if start_saver locked-install 'C:\windows\system32\velmora.scr'; then
  # Not run_and_wait: the running saver belongs to the same Wine session.
  expect "setup /S /CURRENT over a saver in use: exit code 2" \
    "$(wine "$setup_win" /S /CURRENT >>"$work/wine.log" 2>&1; echo $?)" "2"
  expect_unchanged "in use"
  end_with_key locked-install
fi
# A failure once the new saver is written: a folder where the uninstaller
# goes. The old saver comes back.
mkdir -p "$program_files/Velmora/uninstall.exe"
expect "setup /S /CURRENT, the uninstaller not writable: exit code 2" "$(run_and_wait "$setup_win" /S /CURRENT)" "2"
expect_unchanged "uninstaller not writable"
rm -rf "$program_files/Velmora"

# --- Silent install with /CURRENT -------------------------------------------------------

echo "== silent install /S /CURRENT"
expect "setup /S /CURRENT: exit code" "$(run_and_wait "$setup_win" /S /CURRENT)" "0"
expect "the 64-bit saver, as packed, in the 64-bit system32" \
  "$(cmp -s "$stage/x64/velmora.scr" "$system32/velmora.scr" && echo same || echo differs)" "same"
expect "no saver in syswow64" "$(present "$syswow64/velmora.scr")" "absent"
expect "the uninstaller in Program Files\\Velmora" "$(present "$program_files/Velmora/uninstall.exe")" "present"
expect "nothing under Program Files (x86)" "$(present "$program_files (x86)/Velmora")" "absent"

uninstaller='C:\Program Files\Velmora\uninstall.exe'
for row in \
  "DisplayName|REG_SZ Velmora screen saver" \
  "DisplayVersion|REG_SZ $version" \
  "Publisher|REG_SZ Velmora" \
  'DisplayIcon|REG_SZ C:\windows\system32\velmora.scr,0' \
  "UninstallString|REG_SZ \"$uninstaller\"" \
  "QuietUninstallString|REG_SZ \"$uninstaller\" /S" \
  "NoModify|REG_DWORD 0x1" \
  "NoRepair|REG_DWORD 0x1"; do
  expect "uninstall entry (64-bit view): ${row%%|*}" "$(reg_value "$uninstall_key" "${row%%|*}" /reg:64)" "${row#*|}"
done
# Both files in KiB, within rounding (the installer rounds each file down).
installed_kib=$((($(stat -c %s "$system32/velmora.scr") + $(stat -c %s "$program_files/Velmora/uninstall.exe")) / 1024))
size=$(reg_value "$uninstall_key" EstimatedSize /reg:64)
size=$((${size#REG_DWORD }))
expect "uninstall entry: EstimatedSize is both files in KiB ($installed_kib)" \
  "$([ "$size" -ge $((installed_kib - 1)) ] && [ "$size" -le $((installed_kib + 1)) ] && echo within 1 || echo "$size")" \
  "within 1"
expect "no uninstall entry in the 32-bit view" "$(key_exists "$uninstall_key" /reg:32)" "no"
expect "/CURRENT: SCRNSAVE.EXE names the installed saver" "$(reg_value "$desktop_key" SCRNSAVE.EXE)" \
  'REG_SZ C:\windows\system32\velmora.scr'
expect "/CURRENT: ScreenSaveActive" "$(reg_value "$desktop_key" ScreenSaveActive)" "REG_SZ 1"

# --- The installed saver, started as the system starts it ---------------------------------

echo "== the installed saver"
xdotool mousemove 600 450
if start_current_saver installed-run; then
  pass "SCRNSAVE.EXE /s runs from system32"
  end_with_key installed-run
fi

# A display scaled to 150 %: the window must still cover every pixel. The
# probe is DPI-aware itself, so it reads real pixels. Wine 8 gives every
# program real pixels, aware or not; whether the system takes the saver for
# DPI-aware shows in its manifest as the system's loader reads it.
echo "== scaled display (LogPixels 144)"
wine reg add "$desktop_key" /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
wineserver -k
wineserver -w
xdotool mousemove 600 450
if start_current_saver scaled-run; then
  wine "$probe_exe" dpi 'C:\windows\system32\velmora.scr' >"$work/dpi" 2>>"$work/wine.log"
  tr -d '\r' <"$work/dpi" | tr '\n' ' '
  echo
  expect "the installed saver's manifest: dpiAware" "$(field "$work/dpi" manifest_dpi_aware)" "true/pm"
  expect "the installed saver's manifest: dpiAwareness" "$(field "$work/dpi" manifest_dpi_awareness)" \
    "PerMonitorV2,_PerMonitor"
  expect "144 DPI in force" "$(field "$work/dpi" logpixels)" "144"
  expect "the screen in pixels is the display's" "$(field "$work/dpi" screen)" "${screen_w}x$screen_h"
  expect "the saver's client area is the screen's pixels" "$(field "$work/dpi" client)" "${screen_w}x$screen_h"
  end_with_key scaled-run
fi
wine reg add "$desktop_key" /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
wineserver -k
wineserver -w

# --- Silent uninstall -----------------------------------------------------------------------

echo "== silent uninstall"
quiet=$(reg_value "$uninstall_key" QuietUninstallString /reg:64)
quiet=${quiet#REG_SZ }
# The quoted program, then its switch.
quiet_program=$(echo "$quiet" | sed -E 's/^"([^"]*)".*/\1/')
expect "uninstall /S: exit code" "$(run_and_wait "$quiet_program" /S)" "0"
expect "uninstall: the saver is gone" "$(present "$system32/velmora.scr")" "absent"
expect "uninstall: the uninstaller and its folder are gone" "$(present "$program_files/Velmora")" "absent"
expect "uninstall: the entry is gone" "$(key_exists "$uninstall_key" /reg:64)" "no"
expect "uninstall: SCRNSAVE.EXE that named Velmora is gone" "$(reg_value "$desktop_key" SCRNSAVE.EXE)" "absent"

# --- Another saver chosen ----------------------------------------------------------------

echo "== another saver chosen"
wine reg add "$desktop_key" /v SCRNSAVE.EXE /d "$other" /f >/dev/null 2>&1
wine reg add "$desktop_key" /v ScreenSaveActive /d 0 /f >/dev/null 2>&1
expect "setup /S: exit code" "$(run_and_wait "$setup_win" /S)" "0"
expect "setup /S: the saver installed" "$(present "$system32/velmora.scr")" "present"
expect "setup /S without /CURRENT: the other saver stays current" \
  "$(reg_value "$desktop_key" SCRNSAVE.EXE) $(reg_value "$desktop_key" ScreenSaveActive)" "REG_SZ $other REG_SZ 0"
expect "uninstall /S: exit code" "$(run_and_wait 'C:\Program Files\Velmora\uninstall.exe' /S)" "0"
expect "uninstall: the saver is gone" "$(present "$system32/velmora.scr")" "absent"
expect "uninstall: the other saver's SCRNSAVE.EXE is left alone" "$(reg_value "$desktop_key" SCRNSAVE.EXE)" "REG_SZ $other"

# --- Upgrades -----------------------------------------------------------------------------

# An earlier installation made with /D, dressed as an older version: its
# uninstaller's and saver's bytes, two values of its entry and one value
# missing differ from what this installer writes.
echo "== upgrades of an installation made with /D"
apps_dir="$WINEPREFIX/drive_c/Apps/Velmora"
expect "setup /S /D=C:\\Apps\\Velmora: exit code" "$(run_and_wait "$setup_win" /S '/D=C:\Apps\Velmora')" "0"
printf older >>"$apps_dir/uninstall.exe"
{ cat "$stage/x64/velmora.scr"; printf older; } >"$system32/velmora.scr"
wine reg add "$uninstall_key" /v DisplayVersion /d 0.9 /f /reg:64 >/dev/null 2>&1
wine reg add "$uninstall_key" /v EstimatedSize /t REG_DWORD /d 1 /f /reg:64 >/dev/null 2>&1
wine reg delete "$uninstall_key" /v NoRepair /f /reg:64 >/dev/null 2>&1
earlier_installation() {
  sha256sum "$apps_dir/uninstall.exe" "$system32/velmora.scr" | cut -c 1-64 | tr '\n' ' '
  wine reg query "$uninstall_key" /reg:64 2>/dev/null | tr -d '\r' | sort | tr -s ' \n' ' '
  echo "$(reg_value "$desktop_key" SCRNSAVE.EXE) $(reg_value "$desktop_key" ScreenSaveActive)"
  find "$apps_dir" "$system32" "$program_files" -maxdepth 1 -iname '*velmora*' | sort | tr '\n' ' '
}
earlier=$(earlier_installation)
# The current saver's key refusing writes: the upgrade fails after the
# uninstaller and the entry were rewritten.
wine "$probe_exe" reg lock 'Control Panel\Desktop' >>"$work/wine.log" 2>&1
expect "upgrade /S /CURRENT, the current saver not writable: exit code" "$(run_and_wait "$setup_win" /S /CURRENT)" "2"
wine "$probe_exe" reg unlock 'Control Panel\Desktop' >>"$work/wine.log" 2>&1
expect "the failed upgrade leaves the earlier installation as it was" "$(earlier_installation)" "$earlier"
expect "setup /S over it: exit code" "$(run_and_wait "$setup_win" /S)" "0"
expect "the upgrade stays in C:\\Apps\\Velmora: its uninstaller, its entry, nothing in Program Files" \
  "$(present "$apps_dir/uninstall.exe") $(reg_value "$uninstall_key" InstallLocation /reg:64) $(present "$program_files/Velmora")" \
  'present REG_SZ C:\Apps\Velmora absent'
expect "the upgrade's entry: DisplayVersion, NoRepair" \
  "$(reg_value "$uninstall_key" DisplayVersion /reg:64) $(reg_value "$uninstall_key" NoRepair /reg:64)" \
  "REG_SZ $version REG_DWORD 0x1"
expect "its uninstaller /S: exit code" "$(run_and_wait 'C:\Apps\Velmora\uninstall.exe' /S)" "0"
expect "uninstall: the folder and the entry are gone" \
  "$(present "$apps_dir") $(key_exists "$uninstall_key" /reg:64)" "absent no"

# --- Interactive install ---------------------------------------------------------------------

# The pages run the install on a thread of their own: driven with Enter
# (welcome, the licence's "I Agree", components with "make current" ticked,
# finish).
echo "== interactive install"
wine "$setup_win" >>"$work/wine.log" 2>&1 &
setup_window=""
for _ in $(seq 100); do
  setup_window=$(xdotool search --name "Velmora Setup" 2>/dev/null | head -n 1)
  [ -n "$setup_window" ] && break
  sleep 0.2
done
if [ -z "$setup_window" ]; then
  fail "interactive: the installer's window appears"
else
  sleep 1
  xdotool key --window "$setup_window" Return
  sleep 1
  xdotool key --window "$setup_window" Return
  sleep 1
  xdotool key --window "$setup_window" Return
  for _ in $(seq 100); do
    [ -e "$system32/velmora.scr" ] || [ -e "$syswow64/velmora.scr" ] && break
    sleep 0.2
  done
  sleep 1
  xdotool key --window "$setup_window" Return
  timeout 30 wineserver -w
  # The last Return closes the window it was typed into: xdotool pressed it
  # through the X server's test extension but could not send its release to
  # a window that was gone, so the server holds Return down and repeats it
  # into whatever window has the focus next (the saver below, which closes).
  xdotool keyup Return
  expect "interactive: the 64-bit saver in system32, none in syswow64" \
    "$(present "$system32/velmora.scr") $(present "$syswow64/velmora.scr")" "present absent"
  expect "interactive: \"make current\" is ticked by default" "$(reg_value "$desktop_key" SCRNSAVE.EXE)" \
    'REG_SZ C:\windows\system32\velmora.scr'
fi

# --- Uninstall while the saver is in use -------------------------------------------------

# With _?= the uninstaller runs as itself, not from a copy, so that its exit
# code is its own (and it stays behind). Last: Wine would carry out the
# delete at its next start.
echo "== uninstall while the saver is in use"
# An installer page left open (its last key missed) would take the focus
# from the saver, which then closes: no program left from the case before.
wineserver -k
wineserver -w
xdotool mousemove 600 450
if start_current_saver locked-uninstall; then
  wine "$probe_exe" run --timeout 60000 "$uninstaller" /S "_?=C:\Program Files\Velmora" \
    >"$work/locked-uninstall.report" 2>>"$work/wine.log"
  expect "uninstall /S over a saver in use: exit code 3010, it goes at the next start" \
    "$(field "$work/locked-uninstall.report" exit)" "3010"
  expect "in use: the saver stays, its delete waits for the next start" \
    "$(present "$system32/velmora.scr") $(wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' \
      /v PendingFileRenameOperations 2>/dev/null | grep -ci 'system32.velmora\.scr')" "present 1"
  end_with_key locked-uninstall
fi

finish_cases "installer suite" "$started"
