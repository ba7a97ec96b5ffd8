#!/usr/bin/env bash
# Velmora's main job: show the saver. On a Wayland compositor or an X display
# it runs in a window until closed (the compositor or window manager, q or
# Escape). Without either it renders the emerging set headless as a sequence
# of PNG pictures (and an animation when ImageMagick is there) into the given
# folder.
set -euo pipefail
out="${1:-out}"
# What `make run` builds: preset run, the two programs alone.
build=build/run/src
# velmora takes Wayland where WAYLAND_DISPLAY names a compositor's socket
# (one inherited by a remote shell may name none), and X11 where that cannot
# be reached and DISPLAY is set.
wayland_socket=${WAYLAND_DISPLAY:-}
if [ -n "$wayland_socket" ] && [ "${wayland_socket#/}" = "$wayland_socket" ]; then
  wayland_socket=${XDG_RUNTIME_DIR:-/run/user/$(id -u)}/$wayland_socket
fi
if [ -n "$wayland_socket" ] && [ -S "$wayland_socket" ]; then
  echo "Velmora on Wayland ($WAYLAND_DISPLAY): close its window, or press q or Escape, to end."
  exec "$build/hack/velmora"
fi
if [ -n "${DISPLAY:-}" ]; then
  if ! command -v xdpyinfo >/dev/null 2>&1 || xdpyinfo >/dev/null 2>&1; then
    echo "Velmora on display $DISPLAY: close its window, or press q or Escape, to end."
    exec "$build/hack/velmora"
  fi
  echo "Display $DISPLAY cannot be opened: rendering headless instead."
fi
mkdir -p "$out"
render="$build/render/velmora-render"
# Nine pictures 360 steps (18 s of saver time) apart: from the opaque black
# plane to the finished set after 2,880 steps.
"$render" --size 1024x768 --seed 1 --frames 9 --every 360 --out "$out/velmora.png"
if command -v convert >/dev/null 2>&1; then
  convert -delay 60 -loop 0 "$out"/velmora-*.png "$out/velmora.gif"
  echo "Animation: $(cd "$out" && pwd)/velmora.gif"
fi
echo "Pictures of the emerging set: $(cd "$out" && pwd)/velmora-000.png ... velmora-008.png"
