# Shared by the daemon tests: root, the package installed with apt-get, an
# unprivileged user, a private Xvfb, polling with time limits, and a cleanup
# that runs on any exit (the package removed, the user's processes and the
# Xvfb ended, the user's files deleted).
# shellcheck shell=bash
set -euo pipefail
# shellcheck source=../../scripts/suite_lib.sh
source "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/../../scripts/suite_lib.sh"

test_user=velmora-test
test_home=/home/$test_user
hack=/usr/libexec/xscreensaver/velmora
name="$(basename "$0" .sh)"
# A failed check ends a daemon suite at once: what follows depends on it.
abort() { echo "$name: FAIL: $*" >&2; exit 1; }
note() { echo "$name: $*"; }

if [ "$(id -u)" -ne 0 ]; then
  echo "$name: skipped: installs the package system-wide, needs root (as CI)"
  exit 77
fi

work="$(mktemp -d /tmp/velmora-daemons.XXXXXX)"
chmod 755 "$work"
xvfb_pid=
created_user=false
package_installed_here=false

now() { date +%s.%N; }
# elapsed START: seconds since START (from now), three decimals.
elapsed() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.3f", b - a }'; }
# less_than A B: A < B as decimals.
less_than() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }

# wait_for SECONDS COMMAND...: polls COMMAND every 20 ms until it succeeds.
wait_for() {
  local limit="$1"; shift
  local start; start="$(now)"
  until "$@"; do
    less_than "$(elapsed "$start")" "$limit" || return 1
    sleep 0.02
  done
}

user_processes() { pgrep -u "$test_user" || true; }

end_user_processes() {
  id "$test_user" >/dev/null 2>&1 || return 0
  local pids
  pids="$(user_processes)"
  [ -z "$pids" ] && return 0
  # shellcheck disable=SC2086
  kill $pids 2>/dev/null || true
  wait_for 3 test -z "$(user_processes)" && return 0
  pids="$(user_processes)"
  # shellcheck disable=SC2086
  [ -z "$pids" ] || kill -KILL $pids 2>/dev/null || true
  wait_for 3 test -z "$(user_processes)" || true
}

cleanup() {
  local status=$?
  end_user_processes
  # A compositor and its idle daemon, when a test started them.
  end_background_jobs
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  if $package_installed_here && dpkg-query -W -f='${Status}' velmora 2>/dev/null | grep -q ' installed$'; then
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq velmora >/dev/null 2>&1 || true
  fi
  if id "$test_user" >/dev/null 2>&1; then
    # Whatever the daemons and the settings left in the home folder.
    find "$test_home" -mindepth 1 -maxdepth 1 ! -name '.bashrc' ! -name '.profile' ! -name '.bash_logout' \
      -exec rm -rf {} + 2>/dev/null || true
    if $created_user; then
      userdel -r "$test_user" >/dev/null 2>&1 || true
    fi
  fi
  if [ $status -ne 0 ] && [ -d "$work" ]; then
    echo "$name: logs kept in $work" >&2
    for log in "$work"/*.log; do
      [ -s "$log" ] || continue
      echo "--- $log (last 30 lines)" >&2
      tail -n 30 "$log" >&2
    done
  else
    rm -rf "$work"
  fi
  exit $status
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# install_package DEB: apt-get install ./DEB, from a folder apt's sandbox user can read.
install_package() {
  [ -f "$1" ] || abort "no package at $1 (make package builds it)"
  cp "$1" "$work/" && chmod 644 "$work/$(basename "$1")"
  package_installed_here=true
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$work/$(basename "$1")" \
    >"$work/apt-install.log" 2>&1 || abort "apt-get install ./$(basename "$1") failed"
  [ -x "$hack" ] || abort "no hack at $hack after installing"
}

ensure_user() {
  if ! id "$test_user" >/dev/null 2>&1; then
    useradd --create-home --shell /bin/bash "$test_user"
    created_user=true
  fi
  mkdir -p "$test_home"
  chown "$test_user:" "$test_home"
}

# start_display WxH: a private Xvfb on a free display; sets $display.
start_display() {
  start_xvfb "$1" "$work/xvfb.log" -ac || abort "Xvfb did not start"
  display=$DISPLAY
  note "Xvfb $display (${1})"
}

# as_user COMMAND...: runs COMMAND as the test user with a clean environment
# on the test's display.
as_user() {
  runuser -u "$test_user" -- env -i HOME="$test_home" USER="$test_user" LOGNAME="$test_user" \
    PATH=/usr/local/bin:/usr/bin:/bin DISPLAY="$display" LANG=C.UTF-8 \
    NO_AT_BRIDGE=1 GIO_USE_VFS=local GTK_USE_PORTAL=0 ${DBUS_SESSION_BUS_ADDRESS:+DBUS_SESSION_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS} \
    "$@"
}

# The test user's running velmora processes. A hack that has exited counts as
# ended even before it is reaped: xscreensaver-gfx exits right after killing
# it, and the orphan's exit status then waits for PID 1 (here a container's
# init that reaps about once a second; systemd does at once).
hack_pids() { ps -u "$test_user" -o pid=,stat=,comm= | awk '$3 == "velmora" && $2 !~ /^Z/ { print $1 }'; }
# gone_for_good PID: not even a zombie is left.
gone_for_good() { [ ! -e "/proc/$1" ]; }
no_hack_running() { [ -z "$(hack_pids)" ]; }
hack_running() { [ -n "$(hack_pids)" ]; }
command_line_of() { tr '\0' ' ' <"/proc/$1/cmdline" | sed 's/ $//'; }
