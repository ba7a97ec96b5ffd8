# shellcheck shell=bash
# Sourced by the scripts that run Windows programs under Wine. Wine 8 runs
# 32-bit programs in its WoW64 mode when it finds the 32-bit Windows DLLs of
# its own version; install-deps.sh's test tier unpacks them (from Debian's
# libwine for i386, never installed) into VELMORA_WOW64_DIR.
VELMORA_WOW64_DIR="${VELMORA_WOW64_DIR:-/var/cache/velmora/wine-wow64}"
if [ -d "$VELMORA_WOW64_DIR/dlls/i386-windows" ]; then
  export WINEDLLPATH="$VELMORA_WOW64_DIR/dlls"
fi
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
