# shellcheck shell=bash
# Sourced by the Wine suites that run the saver in the background, after
# wine_display.sh: starts it with saver_probe.exe ($probe_exe) and waits for
# its window on the display, its window's end and its exit code. Reports go
# to "$work/runs/NAME".

probe() { wine_output "${probe_exe:?}" "$@"; }

# Mean brightness of the display, 0 (black) to 1 (white); the screenshot is
# kept as shown.xwd.
screen_brightness() {
  xwd -root -silent >"${work:?}/shown.xwd"
  convert "xwd:$work/shown.xwd" -colorspace Gray -format '%[fx:mean]' info:
}

# Waits until the saver's window is on the display: the white root gone
# black. Input sent before that would reach no window.
wait_until_shown() { # NAME
  for _ in $(seq 40); do
    [ "$(awk -v b="$(screen_brightness)" 'BEGIN { print (b < 0.25) }')" = 1 ] && return 0
    sleep 0.2
  done
  fail "$1: the saver window shows on the display"
  return 1
}

# Starts the saver in the background; returns once its window is there.
start_saver() { # NAME ARGS...
  local name=$1
  shift
  local report="$work/runs/$name"
  : >"$report"
  # Straight to the file, unfiltered, so that each line shows at once.
  wine "$probe_exe" run --timeout 60000 "$@" >"$report" 2>>"$work/wine-stderr.log" &
  local tries=1
  for _ in $(seq 300); do
    if wine_started_nothing "$report" && [ "$tries" -lt 3 ]; then
      tries=$((tries + 1))
      wine "$probe_exe" run --timeout 60000 "$@" >"$report" 2>>"$work/wine-stderr.log" &
    fi
    if grep -q '^ready' "$report"; then
      wait_until_shown "$name"
      return
    fi
    grep -q '^exit=' "$report" && break
    sleep 0.1
  done
  fail "$name: the saver window appeared" "$(tr -d '\r' <"$report" | tr '\n' ' ')"
  return 1
}

# Waits until the background saver NAME has ended; prints its exit code.
wait_for_end() { # NAME [SECONDS]
  local report="$work/runs/$1"
  for _ in $(seq $((${2:-15} * 10))); do
    grep -q '^exit=' "$report" && break
    sleep 0.1
  done
  field "$report" exit
}

window_gone() { grep -q '^gone' "$work/runs/$1"; }

# Waits up to SECONDS for the window of NAME to go; true when it went. A
# saver that stays is ended, so that it cannot answer for the next case.
gone_within() { # NAME SECONDS
  for _ in $(seq $(($2 * 10))); do
    window_gone "$1" && return 0
    sleep 0.1
  done
  probe end >/dev/null
  return 1
}
