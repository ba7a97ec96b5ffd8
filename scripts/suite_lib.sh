# shellcheck shell=bash
# Shared by the scripts that run the real programs (the Wine suites, the
# daemon suites, the frame-cost benchmark): command-line options, case
# results, a private X server (Xvfb, Xephyr) and a headless sway started
# with a time limit.

# parse_options --flag=variable... -- ARGS...: sets each variable from
# "--flag value" in ARGS. An unknown flag, a flag without its value or a
# flag left out ends the script with 2.
parse_options() {
  local -A variable_of=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    variable_of[${1%%=*}]=${1#*=}
    shift
  done
  shift
  while [ $# -gt 0 ]; do
    if [ -z "${variable_of[$1]:-}" ] || [ $# -lt 2 ]; then
      echo "unknown argument $1" >&2
      exit 2
    fi
    printf -v "${variable_of[$1]}" '%s' "$2"
    shift 2
  done
  local flag variable
  for flag in "${!variable_of[@]}"; do
    variable=${variable_of[$flag]}
    [ -n "${!variable:-}" ] || { echo "missing $flag" >&2; exit 2; }
  done
}

# Case results: every case prints "ok" or "FAILED"; finish_cases ends the
# suite with the count, failing when one case failed.
failures=0
pass() { echo "ok: $1"; }
fail() { echo "FAILED: $1${2:+ ($2)}"; failures=$((failures + 1)); }
expect() { # NAME ACTUAL EXPECTED
  if [ "$2" = "$3" ]; then pass "$1"; else fail "$1" "got '$2', expected '$3'"; fi
}
finish_cases() { # SUITE STARTED_AT_SECONDS
  echo "$1 took $((SECONDS - $2)) s; $failures failed"
  [ "$failures" -eq 0 ]
}

# start_x_server LOG SERVER [ARGUMENT...]: an X server (Xvfb, Xephyr) on a
# free display, its log in LOG. Sets and exports DISPLAY and sets
# x_server_pid; returns 1, with the log on standard error, when the display
# has not started within 20 s.
start_x_server() {
  local log=$1
  shift
  local number_file
  number_file=$(mktemp)
  "$@" -displayfd 3 -nolisten tcp 3>"$number_file" >"$log" 2>&1 &
  x_server_pid=$!
  local tries
  for tries in $(seq 200); do
    [ -s "$number_file" ] && break
    kill -0 "$x_server_pid" 2>/dev/null || break
    sleep 0.1
  done
  local number
  number=$(head -n 1 "$number_file")
  rm -f "$number_file"
  if [ -z "$number" ]; then
    echo "$1 did not start (after $tries tries)" >&2
    cat "$log" >&2
    return 1
  fi
  export DISPLAY=":$number"
}

# start_xvfb WIDTHxHEIGHT LOG [XVFB_ARGUMENT...]: a private Xvfb as
# start_x_server starts it; sets xvfb_pid.
start_xvfb() {
  local size=$1 log=$2
  shift 2
  start_x_server "$log" Xvfb -screen 0 "${size}x24" "$@" || return 1
  # shellcheck disable=SC2034 # the callers' own
  xvfb_pid=$x_server_pid
}

# Ends every background job of the calling shell and waits for them.
end_background_jobs() {
  local pids
  mapfile -t pids < <(jobs -p)
  [ ${#pids[@]} -eq 0 ] || kill "${pids[@]}" 2>/dev/null || true
  wait 2>/dev/null || true
}

# start_sway WIDTHxHEIGHT FOLDER: headless sway with one output of that size,
# its log in FOLDER/sway.log. sway refuses root, so as root it runs as
# nobody, in FOLDER, which is handed to that user. Sets sway_pid and the
# array as_sway_user (a command prefix that runs a program as sway's user,
# with its WAYLAND_DISPLAY); returns 1, with the log on standard error, when
# the compositor has not started within 20 s.
start_sway() {
  local size=$1 folder=$2
  mkdir -p "$folder/run"
  chmod 700 "$folder/run"
  echo "output HEADLESS-1 mode $size" >"$folder/config"
  local -a user=()
  if [ "$(id -u)" -eq 0 ]; then
    chown -R 65534:65534 "$folder"
    user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  fi
  as_sway_user=("${user[@]}" env -u DISPLAY HOME="$folder" XDG_RUNTIME_DIR="$folder/run")
  "${as_sway_user[@]}" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman WLR_HEADLESS_OUTPUTS=1 \
    sway -c "$folder/config" >"$folder/sway.log" 2>&1 &
  sway_pid=$!
  local socket="" tries
  for tries in $(seq 200); do
    socket=$(find "$folder/run" -maxdepth 1 -type s -name 'wayland-*' -printf '%f\n' | head -n 1)
    [ -n "$socket" ] && break
    kill -0 "$sway_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$socket" ]; then
    echo "sway did not start (after $tries tries)" >&2
    cat "$folder/sway.log" >&2
    return 1
  fi
  as_sway_user+=(WAYLAND_DISPLAY="$socket")
}
