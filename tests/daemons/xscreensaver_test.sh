#!/usr/bin/env bash
# The package under the real XScreenSaver daemon, as a user would have it:
# installed with apt-get, named in ~/.xscreensaver, run by the daemon on
# -activate with the daemon's arguments and window, showing the renderer's
# frame of the same seed, ended by -deactivate within a second with nothing
# left; then the settings window's preview, which runs the programs-list
# command with --window-id appended ("velmora --root --window-id 0x...");
# then two monitors (the heads of a Xephyr nested in the Xvfb, joined by
# Xinerama): one hack a monitor, each on a window of its monitor's size
# showing the renderer's frame of that size.
# Usage: xscreensaver_test.sh DEB DAEMON_PROBE
source "$(dirname "$0")/daemon_lib.sh"
deb="$1"
probe="$2"
seed=7

install_package "$deb"
[ -f /usr/share/xscreensaver/config/velmora.xml ] || abort "no velmora.xml in XScreenSaver's configuration folder"
ensure_user
# The settings window is about 850 pixels wide: the whole of it on screen.
start_display 1024x768

# programs_file LINE: a ~/.xscreensaver that runs only LINE, without fading,
# locking or the splash, the daemon never blanking by itself.
programs_file() {
  cat >"$test_home/.xscreensaver" <<CONFIG
mode:		one
selected:	0
timeout:	8:00:00
cycle:		8:00:00
lock:		False
fade:		False
unfade:		False
splash:		False
dpmsEnabled:	False
grabDesktopImages: False
grabVideoFrames: False
chooseRandomImages: False
programs:	GL: $1	\n
CONFIG
  chown "$test_user:" "$test_home/.xscreensaver"
}

programs_file "velmora --root --seed $seed"
daemon_answers() { as_user timeout 5 xscreensaver-command -time >/dev/null 2>&1; }
start_daemon() {
  as_user xscreensaver -no-splash -verbose >>"$work/xscreensaver.log" 2>&1 &
  daemon_pid=$!
  wait_for 15 daemon_answers
}
# Once in a few dozen starts the daemon stops in its start-up before it
# answers (before it reads the input devices); a second start is not a
# second chance for the hack, which has not run yet.
if ! start_daemon; then
  note "the daemon did not answer in 15 s (log: $(tail -n 1 "$work/xscreensaver.log")); starting it again"
  kill "$daemon_pid" 2>/dev/null || true
  end_user_processes
  start_daemon || abort "the xscreensaver daemon does not answer"
fi
note "xscreensaver $(as_user xscreensaver-command -version 2>/dev/null | sed -n 's/.*XScreenSaver \([0-9.]*\).*/\1/p') is running"

# -activate: the daemon starts the hack with its own arguments, on its window.
activated="$(now)"
as_user xscreensaver-command -activate >/dev/null
wait_for 20 hack_running || abort "no velmora process 20 s after -activate"
pid="$(hack_pids)"
note "-activate started \"$(command_line_of "$pid")\" after $(elapsed "$activated") s"
[ "$(command_line_of "$pid")" = "velmora --root --seed $seed" ] || abort "the daemon ran \"$(command_line_of "$pid")\""
[ "$(readlink "/proc/$pid/exe")" = "$hack" ] || abort "the daemon ran $(readlink "/proc/$pid/exe"), not $hack"
saver_window="$(tr '\0' '\n' <"/proc/$pid/environ" | sed -n 's/^XSCREENSAVER_WINDOW=//p')"
[ -n "$saver_window" ] || abort "the daemon set no XSCREENSAVER_WINDOW"
note "on the daemon's window $saver_window"

# What the screen shows: the frame velmora-render draws for the same seed.
"$probe" "$display" root --seed "$seed" --since "$activated" || abort "the screen does not show Velmora's set"
[ "$(hack_pids)" = "$pid" ] || abort "the hack did not keep running"

# -deactivate: the hack ends within a second, and nothing of it is left.
deactivated="$(now)"
as_user xscreensaver-command -deactivate >/dev/null
note "xscreensaver-command -deactivate returned after $(elapsed "$deactivated") s"
wait_for 5 no_hack_running || abort "velmora still runs 5 s after -deactivate"
took="$(elapsed "$deactivated")"
note "-deactivate ended velmora in $took s"
less_than "$took" 1.0 || abort "-deactivate took $took s to end velmora (more than 1 s)"
if grep -E 'velmora.*(crashed|exited with status [1-9]|exited abnormally|killed by signal)' "$work/xscreensaver.log"; then
  abort "the daemon reports the hack failing"
fi
wait_for 5 gone_for_good "$pid" || abort "velmora ($pid) is left behind"

# The settings window: its preview runs the programs-list command with
# --window-id appended, exactly as the daemon's list has it.
programs_file "velmora --root"
as_user dbus-run-session -- xscreensaver-settings >"$work/xscreensaver-settings.log" 2>&1 &
wait_for 30 hack_running || abort "the settings window started no preview in 30 s"
pid="$(hack_pids)"
preview="$(command_line_of "$pid")"
note "the settings preview runs \"$preview\""
[[ "$preview" =~ ^velmora\ --root\ --window-id\ (0x[0-9A-Fa-f]+)$ ]] ||
  abort "the preview's command line is not \"velmora --root --window-id ID\""
window="${BASH_REMATCH[1]}"
"$probe" "$display" "$window" --black-first "$pid" || abort "the preview window $window does not show Velmora"
[ "$(hack_pids)" = "$pid" ] || abort "the preview did not keep running"

# Two monitors of different sizes: the daemon runs the hack once on each,
# with -root and XSCREENSAVER_WINDOW naming that monitor's window.
end_user_processes
programs_file "velmora --root --seed $seed"
start_x_server "$work/xephyr.log" Xephyr -ac -screen 1024x768 -screen 800x600 +xinerama ||
  abort "Xephyr did not start (scripts/install-deps.sh test installs it)"
heads_pid=$x_server_pid
display=$DISPLAY
note "Xephyr $display: heads 1024x768 and 800x600"
start_daemon || abort "the xscreensaver daemon does not answer on two monitors"
activated="$(now)"
as_user xscreensaver-command -activate >/dev/null
two_hacks() { [ "$(hack_pids | wc -l)" -eq 2 ]; }
wait_for 20 two_hacks || abort "$(hack_pids | wc -l) velmora processes 20 s after -activate on two monitors"
sizes=()
for pid in $(hack_pids); do
  window="$(tr '\0' '\n' <"/proc/$pid/environ" | sed -n 's/^XSCREENSAVER_WINDOW=//p')"
  [ -n "$window" ] || abort "the daemon set no XSCREENSAVER_WINDOW for velmora $pid"
  size="$(DISPLAY=$display xwininfo -id "$window" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')"
  note "velmora $pid draws on $window, $size"
  sizes+=("$size")
  "$probe" "$display" "$window" --seed "$seed" --since "$activated" ||
    abort "the $size monitor's window does not show Velmora's set"
done
[ "$(printf '%s\n' "${sizes[@]}" | sort | tr '\n' ' ')" = "1024x768 800x600 " ] ||
  abort "the hacks' windows are ${sizes[*]}, not one of each monitor's size"
as_user xscreensaver-command -deactivate >/dev/null
wait_for 5 no_hack_running || abort "velmora still runs 5 s after -deactivate on two monitors"
kill "$heads_pid"
note "all checks passed"
