# shellcheck shell=bash
# Sourced by the Wine suites, after scripts/suite_lib.sh, before they start
# anything: a private Xvfb of the given size with a white root (so that a
# black screen is the program's own doing) and a fresh Wine prefix in
# "$work/prefix" with its WoW64 half, both gone with the calling script.
# Sets DISPLAY, WINEPREFIX and xvfb_pid; exits the script when the display
# does not start.
# Usage: start_display_and_prefix WIDTH HEIGHT
start_display_and_prefix() {
  start_xvfb "$1x$2" "${work:?}/xvfb.log" -wr || exit 1
  export WINEPREFIX="$work/prefix"
  # Quiet Wine, and its WoW64 mode for 32-bit programs.
  # shellcheck source=../../scripts/wine-env.sh
  source "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/../../scripts/wine-env.sh"
  unset WINEARCH
  echo "display $DISPLAY, prefix $WINEPREFIX"
  wine wineboot -i >"$work/wineboot.log" 2>&1
  wineserver -w
  # Should the script be killed outright, the display goes with it.
  (
    while kill -0 $$ 2>/dev/null; do sleep 2; done
    kill "$xvfb_pid" 2>/dev/null
  ) &
}

# For the suite's exit trap: ends the programs the suite started, Wine and the
# display, and removes the prefix and raw screenshots (large); logs and PNG
# screenshots stay for a look after a failure.
stop_display_and_prefix() {
  end_background_jobs
  [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work/prefix"
  rm -f "$work"/*.xwd "$work"/*.ppm
}

# The value of KEY in the last line of FILE that has KEY=value (Windows
# programs end their lines with CR LF).
field() {
  tr -d '\r' <"$1" 2>/dev/null | grep -o "\b$2=[^ ]*" | tail -n 1 | cut -d= -f2-
}

# Wine now and then creates no process at all: its launcher prints
# "ShellExecuteEx failed" and not one line of the program runs. True when
# FILE shows that.
wine_started_nothing() { grep -q 'ShellExecuteEx failed' "$1" 2>/dev/null; }

# wine PROGRAM ARGS..., its output without CRs on standard output, and
# started again (three tries at most) while Wine started nothing.
wine_output() {
  local output attempt
  output=$(mktemp)
  for attempt in 1 2 3; do
    wine "$@" 2>>"${work:?}/wine-stderr.log" | tr -d '\r' >"$output"
    wine_started_nothing "$output" || break
    echo "Wine started no process for $1 (try $attempt of 3)" >>"$work/wine-stderr.log"
  done
  cat "$output"
  rm -f "$output"
}
