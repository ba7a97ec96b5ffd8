#!/usr/bin/env bash
# Every speed figure beside the reference's and its target, in one run:
#  - the plane natively (core_bench) and under Wine, 64- and 32-bit
#    (plane_timing.exe): construction, worst scene step, whole life, memory;
#  - the pace of whole passes and the process's CPU share on Mesa's software
#    OpenGL (frame_pace: headless natively, in a WGL window under Wine) at
#    1024x768 and 1920x1080, and at 1024x768 beside a CPU-bound process;
#  - frames drawn over the last beside whole frames, headless, from fixed
#    scene states (damage_timing);
#  - the X11 hack (in a window of its own, and with -root in a window named
#    by XSCREENSAVER_WINDOW, as the daemons run it) and the Windows saver at
#    1280x800 on Xvfb, seconds 40-60 (the set emerging) and 300-360 (after
#    it), drawing frames over the last and, to compare, whole frames
#    (frame-cost.sh);
#  - the plane comparison's whole life under QEMU, the 32-bit x87 build
#    beside the 64-bit one (the cost of emulating the x87 unit).
# Takes about 95 minutes. BENCH_SECONDS shortens the frame runs (the
# 40-60 s share needs 60); BENCH_QEMU_PASSES the QEMU runs (whole passes).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=suite_lib.sh
source "$root/scripts/suite_lib.sh"
# shellcheck source=../tests/wine/wine_display.sh
source "$root/tests/wine/wine_display.sh"
seconds="${BENCH_SECONDS:-60}"
qemu_passes="${BENCH_QEMU_PASSES:-98}"
native="$root/build/native"
work="$(mktemp -d)"
spinner=""
cleanup() {
  # The display's watcher, the spinner and Wine end with it.
  [ -z "${xvfb_pid:-}" ] || stop_display_and_prefix || true
  end_background_jobs
  rm -rf "$work" || true
}
trap cleanup EXIT

heading() { printf '\n== %s\n' "$1"; }

# pace PROGRAM...: frame_pace at both sizes, then beside a spinning process.
pace() {
  "$@" --seconds "$seconds" 1024x768
  "$@" --seconds "$seconds" 1920x1080
  echo "(beside a CPU-bound process)"
  (while :; do :; done) &
  spinner=$!
  "$@" --seconds "$seconds" 1024x768
  kill "$spinner"; wait "$spinner" 2>/dev/null || true
  spinner=""
}

heading "the plane, native (medians; reference, project, target)"
"$native/bench/core_bench"

heading "frames on llvmpipe, native, headless"
pace "$native/bench/frame_pace"

heading "frames over the last beside whole frames, native, headless"
"$native/bench/damage_timing"

# cost PROGRAM: frame-cost.sh's two spans, frames over the last, then whole.
cost() {
  "$root/scripts/frame-cost.sh" --spans 40-60,300-360 "$@" 1280x800
  "$root/scripts/frame-cost.sh" --spans 40-60,300-360 --whole "$@" 1280x800
}

heading "the X11 hack on Xvfb"
cost --window "$native/src/hack/velmora"
heading "the X11 hack in the daemons' window on Xvfb"
cost --saver-window "$native/src/hack/velmora"

start_display_and_prefix 1920 1080 >/dev/null
for arch in x64 x86; do
  build="$root/build/windows-$arch"
  heading "the plane under Wine, $arch"
  wine "$build/bench/plane_timing.exe"
  heading "frames on llvmpipe under Wine, $arch, in a window"
  pace wine "$build/bench/frame_pace.exe"
done
wineserver -k 2>/dev/null || true

heading "the Windows saver under Wine on Xvfb"
for arch in x64 x86; do
  cost "$root/build/windows-$arch/src/host/velmora.scr"
done

# cpu_seconds COMMAND...: the command's user CPU time; it must succeed.
cpu_seconds() {
  local TIMEFORMAT='%3U'
  { time "$@" >"$work/qemu.txt"; } 2>&1
}
heading "the plane comparison under QEMU, $qemu_passes passes (s CPU; 32-bit x87, 64-bit, ratio)"
x87="$(cpu_seconds qemu-i386 "$root/build/linux-x86/bench/plane_comparison" --passes "$qemu_passes")"
x64="$(cpu_seconds qemu-x86_64 "$native/bench/plane_comparison" --passes "$qemu_passes")"
awk -v a="$x87" -v b="$x64" 'BEGIN { printf "%s  %s  %.2f\n", a, b, a / b }'
