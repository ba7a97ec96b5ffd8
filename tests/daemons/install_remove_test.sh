#!/usr/bin/env bash
# apt-get install ./velmora_*.deb puts every file of the package in place,
# the programs run from there and their manual pages are found; apt-get
# remove velmora leaves nothing behind: no file, no folder of its own, no
# package state.
# Usage: install_remove_test.sh DEB [DAEMON_PROBE]
source "$(dirname "$0")/daemon_lib.sh"
deb="$1"

if dpkg-query -W -f='${Status}' velmora 2>/dev/null | grep -q ' installed$'; then
  DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq velmora >/dev/null
fi
mapfile -t files < <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }')
mapfile -t folders < <(dpkg-deb -c "$deb" | awk '$1 ~ /^d/ { sub(/^\./, "", $6); sub(/\/$/, "", $6); print $6 }')
# Searched from a string: bash's printf writes a line at a time, so piping it
# into grep -q under pipefail fails whenever grep stops before printf does.
file_list="$(printf '%s\n' "${files[@]}")"
expected=(/usr/libexec/xscreensaver/velmora /usr/bin/velmora-render /usr/share/xscreensaver/config/velmora.xml
  /usr/share/applications/screensavers/velmora.desktop /usr/share/man/man6/velmora.6x.gz
  /usr/share/man/man1/velmora-render.1.gz /usr/share/doc/velmora/copyright /usr/share/doc/velmora/changelog.gz)
for file in "${expected[@]}"; do
  grep -qxF -- "$file" <<<"$file_list" || abort "the package has no $file"
done
# Folders that were there before the package (shared with other packages).
existing=()
for folder in "${folders[@]}"; do [ -d "$folder" ] && existing+=("$folder"); done

install_package "$deb"
for file in "${files[@]}"; do [ -e "$file" ] || abort "$file is not installed"; done
grep -q 'window-id' <<<"$(/usr/libexec/xscreensaver/velmora --help)" || abort "the installed hack does not run"
velmora-render --help >/dev/null || abort "the installed renderer does not run"
[ "$(man -w 6x velmora)" = /usr/share/man/man6/velmora.6x.gz ] || abort "man 6x velmora finds no page"
[ "$(man -w velmora-render)" = /usr/share/man/man1/velmora-render.1.gz ] || abort "man velmora-render finds no page"
dependencies="$(dpkg-query -W -f='${Depends}' velmora)"
note "installed ${#files[@]} files; Depends: $dependencies"
for library in libx11-6 libc6 libstdc++6 libpng16-16; do
  [[ "$dependencies" == *"$library"* ]] || abort "Depends lacks $library"
done
[ "$(dpkg-query -W -f='${Suggests}' velmora)" = "xscreensaver | mate-screensaver" ] || abort "wrong Suggests"

DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq velmora >"$work/apt-remove.log" 2>&1 || abort "apt-get remove velmora failed"
package_installed_here=false
for file in "${files[@]}"; do [ -e "$file" ] && abort "$file is left after apt-get remove"; done
for folder in "${folders[@]}"; do
  grep -qxF -- "$folder" <<<"$(printf '%s\n' "${existing[@]}")" && continue
  [ -d "$folder" ] && abort "the folder $folder is left after apt-get remove"
done
status="$(dpkg-query -W -f='${Status}' velmora 2>/dev/null || true)"
[ -z "$status" ] || [ "$status" = "unknown ok not-installed" ] || abort "dpkg still knows velmora: $status"
note "apt-get remove velmora left nothing behind"
