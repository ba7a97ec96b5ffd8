#!/usr/bin/env bash
# Installs every Debian 12 package that Velmora's build and tests need.
# Idempotent: when everything is there it only checks, in about a second.
set -euo pipefail

packages=(
  # native build, unit tests, benchmarks
  build-essential cmake pkg-config libgtest-dev googletest libbenchmark-dev
  # OpenGL 1.1 + GLU, headless EGL on Mesa, PNG output, X11 front-end
  libgl-dev libglu1-mesa-dev libegl-dev libegl-mesa0 libgl1-mesa-dri libpng-dev libx11-dev
  # Windows cross builds, statically linked
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  # the 32-bit Linux build of the core, run under QEMU's user-mode emulator
  g++-i686-linux-gnu qemu-user
  # running and driving the Windows saver and the X11 front-end for tests
  wine wine64 xvfb xdotool x11-apps x11-utils imagemagick
  # the Windows installer
  nsis
  # checking the installed XScreenSaver configuration and desktop entry
  libxml2-utils desktop-file-utils
  # the Debian package (dpkg-shlibdeps) and its check
  dpkg-dev lintian
  # the real screen-saver daemons the package is tested under
  xscreensaver mate-screensaver dbus dbus-x11
  # fuzzing and sanitizers with clang
  clang libclang-rt-14-dev
  # the style checks: shell scripts, C++ formatting
  shellcheck clang-format
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages present"
else
  echo "install-deps: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi

# The 32-bit Windows DLLs of the installed Wine, for its WoW64 mode.
"$(dirname "$0")/install-wow64.sh"
