#!/usr/bin/env bash
# Installs the Debian 12 packages Velmora needs, in three tiers:
#
#   install-deps.sh run    what building and showing it needs (make run)
#   install-deps.sh video  that, and the video encoder (make video)
#   install-deps.sh test   those, and what the tests, cross builds and
#                          packaging add (make test, CI; the default)
#
# The test tier also unpacks Wine's 32-bit Windows DLLs, where this machine
# executes 32-bit code. Idempotent: when everything is there it only checks,
# in about a second, and calls no apt-get at all.
#
# A package mirror in the middle of a sync fails some of its indexes for a
# while ("File has unexpected size ... Mirror sync in progress?"): an index
# that could not be refreshed is a warning, and only a package that could
# not be had is an error. VELMORA_APT_TRIES (3) and VELMORA_APT_PAUSE
# (15 seconds) set the retries of apt-get update.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh"

run_packages=(
  # the compiler and the build
  build-essential cmake pkg-config
  # OpenGL 1.1 + GLU, headless EGL on Mesa, PNG output, the X11 and Wayland
  # back-ends
  libgl-dev libglu1-mesa-dev libegl-dev libegl-mesa0 libgl1-mesa-dri libpng-dev libx11-dev
  libwayland-dev wayland-protocols libxkbcommon-dev
  # the animation of the headless run
  imagemagick
)
video_packages=(
  # the encoder of velmora-render --video, a program the renderer starts
  ffmpeg
)
test_packages=(
  # unit tests, benchmarks
  libgtest-dev googletest libbenchmark-dev
  # Windows cross builds, statically linked
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  # the 32-bit Linux build of the core, run under QEMU's user-mode emulator
  g++-i686-linux-gnu qemu-user
  # running and driving the Windows saver and the X11 front-end for tests
  wine wine64 xvfb xdotool x11-apps x11-utils
  # several monitors: the heads of a nested X server joined by Xinerama
  xserver-xephyr
  # the Windows installer
  nsis
  # checking the installed XScreenSaver configuration and desktop entry
  libxml2-utils desktop-file-utils
  # the Debian package (dpkg-shlibdeps) and its check
  dpkg-dev lintian
  # the real screen-saver daemons the package is tested under
  xscreensaver mate-screensaver dbus dbus-x11
  # headless Wayland compositors, their idle daemon, screenshots and keys
  sway swayidle weston grim wtype
  # fuzzing and sanitizers with clang
  clang libclang-rt-14-dev
  # the style checks: shell scripts, C++ formatting
  shellcheck clang-format
)
# Installed without the packages they recommend. diffoscope-minimal: what
# the rebuild check says of two artefacts that differ, with the tools for
# their formats alone (objdump for PE files, python3-debian for the .deb,
# xxd, unzip) instead of the hundreds of diffoscope's recommends (R,
# ffmpeg, ...).
lean_test_packages=(diffoscope-minimal binutils-multiarch python3-debian xxd unzip)

tier=${1:-test}
lean_packages=()
case "$tier" in
  run) packages=("${run_packages[@]}") ;;
  video) packages=("${run_packages[@]}" "${video_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${video_packages[@]}" "${test_packages[@]}") lean_packages=("${lean_test_packages[@]}") ;;
  *)
    echo "usage: install-deps.sh [run | video | test]" >&2
    exit 2
    ;;
esac

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
apt_tries=${VELMORA_APT_TRIES:-3}
apt_pause=${VELMORA_APT_PAUSE:-15}

# apt_update [APT-GET OPTION ...]: refreshes the indexes, a few tries; an
# index that still fails is a warning, as apt itself keeps the old one.
apt_update() {
  local try
  for ((try = 1; try <= apt_tries; try++)); do
    if "${sudo_cmd[@]}" apt-get "$@" update -qq; then
      return 0
    fi
    if [ "$try" -lt "$apt_tries" ]; then
      echo "install-deps: apt-get update failed (try $try of $apt_tries); again in $apt_pause s" >&2
      sleep "$apt_pause"
    fi
  done
  echo "install-deps: warning: some package indexes could not be refreshed; going on with those at hand" >&2
}

# not_installed PACKAGE ...: prints those dpkg does not have installed.
not_installed() {
  local package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
      echo "$package"
    fi
  done
}

# give_up WHAT: the one error, naming what could not be had.
give_up() {
  echo "install-deps: could not get $1: the package mirror may be busy or in the middle of a sync; run the command again later." >&2
  exit 1
}

apt_install() { # APT-GET OPTION ... PACKAGE ...
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install "$@" ||
    echo "install-deps: apt-get install failed; checking what it installed" >&2
}

install_packages() {
  local -a missing lean_missing
  mapfile -t missing < <(not_installed "${packages[@]}")
  mapfile -t lean_missing < <(not_installed "${lean_packages[@]}")
  if [ ${#missing[@]} -eq 0 ] && [ ${#lean_missing[@]} -eq 0 ]; then
    echo "install-deps: all $((${#packages[@]} + ${#lean_packages[@]})) packages of the $tier tier present"
    return
  fi
  echo "install-deps: installing ${missing[*]} ${lean_missing[*]}"
  apt_update
  # What showing Velmora needs, without the packages it would merely like.
  local -a options=(-y -qq)
  [ "$tier" = test ] || options+=(--no-install-recommends)
  [ ${#missing[@]} -eq 0 ] || apt_install "${options[@]}" "${missing[@]}"
  [ ${#lean_missing[@]} -eq 0 ] || apt_install "${options[@]}" --no-install-recommends "${lean_missing[@]}"
  missing+=("${lean_missing[@]}")
  mapfile -t missing < <(not_installed "${missing[@]}")
  [ ${#missing[@]} -eq 0 ] || give_up "the package(s) ${missing[*]}"
  echo "install-deps: installed"
}

# Wine's WoW64 mode runs 32-bit Windows programs with the 32-bit DLLs of its
# own version: those of Debian's libwine for i386, downloaded and unpacked
# into VELMORA_WOW64_DIR, never installed. Only the tests that run 32-bit
# programs use them, and only where the kernel executes 32-bit code; where
# it cannot, those tests are skipped and the download with them.
install_wow64_dlls() {
  local version stamp work status=0
  version=$(dpkg-query -W -f='${Version}' libwine:amd64)
  stamp="$VELMORA_WOW64_DIR/version"
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$version" ] && [ -f "$VELMORA_WOW64_DIR/dlls/i386-windows/kernel32.dll" ]; then
    echo "install-deps: Wine $version 32-bit DLLs present"
    return
  fi
  work=$(mktemp -d)
  # shellcheck disable=SC2064 # the folder's name is fixed now
  trap "rm -rf '$work'" EXIT
  # The same probe and verdict as the tests that need the DLLs.
  as --32 -o "$work/x86_probe.o" "$here/../tests/x86_runtime/x86_probe.S"
  ld -m elf_i386 -o "$work/x86_probe" "$work/x86_probe.o"
  bash "$here/../tests/x86_runtime/x86_runtime.sh" "$work/x86_probe" >/dev/null || status=$?
  case "$status" in
    0) ;;
    77)
      echo "install-deps: this machine cannot execute 32-bit x86 code: Wine's 32-bit DLLs are not fetched (the tests that run 32-bit programs are skipped)"
      return
      ;;
    *) exit 1 ;;
  esac

  echo "install-deps: unpacking the 32-bit DLLs of Wine $version into $VELMORA_WOW64_DIR"
  # The i386 indexes for this download only: asked of apt for these two
  # calls, so that dpkg's architectures are never changed.
  local -a i386=(-o 'APT::Architectures::=amd64' -o 'APT::Architectures::=i386')
  apt_update "${i386[@]}"
  # apt downloads as the _apt user, which must be able to write here.
  chmod a+rwx "$work"
  (cd "$work" && apt-get "${i386[@]}" download -qq "libwine:i386=$version") ||
    give_up "Wine's 32-bit DLLs (the package libwine:i386, version $version)"
  dpkg-deb --fsys-tarfile "$work"/libwine_*_i386.deb |
    tar -x -C "$work" --wildcards './usr/lib/i386-linux-gnu/wine/i386-windows/*'
  # Debug information is most of their size (about 550 MB to 200 MB).
  find "$work/usr/lib/i386-linux-gnu/wine/i386-windows" -type f \( -name '*.dll' -o -name '*.exe' -o -name '*.drv' -o -name '*.sys' -o -name '*.cpl' -o -name '*.ocx' -o -name '*.acm' -o -name '*.ax' -o -name '*.tlb' -o -name '*.ds' \) \
    -exec i686-w64-mingw32-strip --strip-debug {} + 2>/dev/null || true

  "${sudo_cmd[@]}" rm -rf "$VELMORA_WOW64_DIR"
  "${sudo_cmd[@]}" mkdir -p "$VELMORA_WOW64_DIR/dlls"
  "${sudo_cmd[@]}" mv "$work/usr/lib/i386-linux-gnu/wine/i386-windows" "$VELMORA_WOW64_DIR/i386-windows"
  # Wine looks for both halves under one path: the 32-bit PE DLLs and the
  # 64-bit Unix side, without which OpenGL cannot reach its Unix half.
  "${sudo_cmd[@]}" ln -s "$VELMORA_WOW64_DIR/i386-windows" "$VELMORA_WOW64_DIR/dlls/i386-windows"
  "${sudo_cmd[@]}" ln -s /usr/lib/x86_64-linux-gnu/wine/x86_64-unix "$VELMORA_WOW64_DIR/dlls/x86_64-unix"
  # The stamp last: a folder without it is unpacked again.
  echo "$version" | "${sudo_cmd[@]}" tee "$stamp" >/dev/null
  echo "install-deps: Wine's 32-bit DLLs unpacked"
}

install_packages
[ "$tier" = test ] && install_wow64_dlls
exit 0
