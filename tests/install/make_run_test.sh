#!/usr/bin/env bash
# `make run` in a copy of the source tree, with every apt-get call failing
# (a stand-in earlier on PATH exiting 100), no X display and a Wayland
# display that names no socket (as a remote shell may inherit): the run tier,
# present, needs nothing of apt; the run build configures without GoogleTest
# or Google Benchmark, builds the hack and the renderer and nothing else,
# and the headless run writes its pictures and its animation.
# Usage: make_run_test.sh SOURCE_DIR
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/tree"
printf '#!/bin/sh\necho "apt-get $*" >>"%s/apt-calls"\nexit 100\n' "$work" >"$work/bin/apt-get"
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work/bin"/*
tar -C "$1" --exclude=./build --exclude=./out --exclude=./release --exclude=./.git -c . | tar -C "$work/tree" -x

fail() {
  echo "FAILED: $*"
  exit 1
}
cd "$work/tree"
env -u DISPLAY WAYLAND_DISPLAY=velmora-no-compositor PATH="$work/bin:$PATH" make run JOBS=2 >"$work/make.log" 2>&1 ||
  { cat "$work/make.log"; fail "make run exited non-zero"; }
[ ! -e "$work/apt-calls" ] || fail "apt-get was called: $(cat "$work/apt-calls")"

mapfile -t programs < <(find build/run -path '*/CMakeFiles' -prune -o -type f -perm -u+x -print | sort)
[ "${programs[*]}" = "build/run/src/hack/velmora build/run/src/render/velmora-render" ] ||
  fail "the run build made these programs: ${programs[*]}"
grep -q '^Total Tests: 0$' < <(ctest --test-dir build/run -N) || fail "the run build registers tests"

for index in 000 001 002 003 004 005 006 007 008; do
  picture=out/velmora-$index.png
  # Width and height: the IHDR chunk's first eight bytes, big-endian.
  size=$(od -A n -t u1 -j 16 -N 8 "$picture" | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }')
  [ "$size" = 1024x768 ] || fail "$picture is $size, not 1024x768"
done
[ "$(head -c 6 out/velmora.gif)" = GIF89a ] || fail "out/velmora.gif is not a GIF"
echo "make run: the two programs alone, nine pictures and the animation, with apt-get failing"
