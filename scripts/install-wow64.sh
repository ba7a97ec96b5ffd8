#!/usr/bin/env bash
# Unpacks the 32-bit Windows DLLs of the installed Wine (Debian's libwine for
# i386, of exactly the installed version) into VELMORA_WOW64_DIR, so that
# Wine's WoW64 mode runs 32-bit programs with no 32-bit Linux code. The
# package is downloaded and unpacked, never installed. Quick when present.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"

version=$(dpkg-query -W -f='${Version}' libwine:amd64)
stamp="$VELMORA_WOW64_DIR/version"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$version" ] && [ -f "$VELMORA_WOW64_DIR/dlls/i386-windows/kernel32.dll" ]; then
  echo "install-wow64: Wine $version 32-bit DLLs present"
  exit 0
fi

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
echo "install-wow64: unpacking the 32-bit DLLs of Wine $version into $VELMORA_WOW64_DIR"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# apt downloads as the _apt user, which must be able to write here.
chmod a+rwx "$work"
# The i386 architecture only for the download; it is removed again when it
# was not there before.
added_i386=false
if ! grep -qx i386 <<<"$(dpkg --print-foreign-architectures)"; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
  added_i386=true
fi
restore_architectures() {
  if $added_i386; then
    "${sudo_cmd[@]}" dpkg --remove-architecture i386 || true
    "${sudo_cmd[@]}" apt-get update -qq || true
  fi
}
trap 'restore_architectures; rm -rf "$work"' EXIT
"${sudo_cmd[@]}" apt-get update -qq
(cd "$work" && apt-get download -qq "libwine:i386=$version")
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
echo "$version" | "${sudo_cmd[@]}" tee "$stamp" >/dev/null
echo "install-wow64: done"
