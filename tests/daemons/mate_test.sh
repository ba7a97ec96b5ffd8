#!/usr/bin/env bash
# The package under the real MATE screen saver, in a D-Bus session of an
# unprivileged user: the Velmora theme (the package's desktop entry) chosen
# in its settings, --activate runs the installed hack with the entry's
# command, the screen shows the set emerging from the black plane, and
# --deactivate ends the hack within a second with nothing left.
# Usage: mate_test.sh DEB DAEMON_PROBE
source "$(dirname "$0")/daemon_lib.sh"
deb="$1"
probe="$2"

install_package "$deb"
entry=/usr/share/applications/screensavers/velmora.desktop
[ -f "$entry" ] || abort "no desktop entry at $entry"
ensure_user
start_display 800x600

# The session: its bus address handed out through a file, the settings
# written through dconf on that bus, then the daemon in the foreground.
cat >"$work/session.sh" <<'SESSION'
#!/bin/bash
echo "$DBUS_SESSION_BUS_ADDRESS" >"$1/bus.tmp" && mv "$1/bus.tmp" "$1/bus"
gsettings set org.mate.screensaver mode single
gsettings set org.mate.screensaver themes "['screensavers-velmora']"
gsettings set org.mate.screensaver lock-enabled false
gsettings set org.mate.screensaver idle-activation-enabled false
exec mate-screensaver --no-daemon --debug
SESSION
chmod 755 "$work/session.sh"
mkdir "$work/session" && chown "$test_user:" "$work/session"
as_user dbus-run-session -- "$work/session.sh" "$work/session" >"$work/mate-screensaver.log" 2>&1 &
wait_for 20 test -s "$work/session/bus" || abort "the D-Bus session did not start"
DBUS_SESSION_BUS_ADDRESS="$(cat "$work/session/bus")"
daemon_answers() { as_user mate-screensaver-command --query >/dev/null 2>&1; }
wait_for 20 daemon_answers || abort "mate-screensaver does not answer"
[ "$(as_user gsettings get org.mate.screensaver themes)" = "['screensavers-velmora']" ] ||
  abort "the Velmora theme is not chosen"
note "mate-screensaver is running with the theme screensavers-velmora"

activated="$(now)"
as_user mate-screensaver-command --activate >/dev/null
wait_for 20 hack_running || abort "no velmora process 20 s after --activate"
pid="$(hack_pids)"
command_line="$(command_line_of "$pid")"
note "--activate started \"$command_line\" after $(elapsed "$activated") s"
[ "$command_line" = "$hack -root" ] || abort "mate-screensaver ran \"$command_line\", not the entry's \"$hack -root\""
"$probe" "$display" root --black-first "$pid" || abort "the screen does not show Velmora's set"
[ "$(hack_pids)" = "$pid" ] || abort "the hack did not keep running"

deactivated="$(now)"
as_user mate-screensaver-command --deactivate >/dev/null
wait_for 5 no_hack_running || abort "velmora still runs 5 s after --deactivate"
took="$(elapsed "$deactivated")"
note "--deactivate ended velmora in $took s"
less_than "$took" 1.0 || abort "--deactivate took $took s to end velmora (more than 1 s)"
grep -q "No command set for job" "$work/mate-screensaver.log" && abort "mate-screensaver found no command for the theme"
wait_for 5 gone_for_good "$pid" || abort "velmora ($pid) is left behind"
note "all checks passed"
