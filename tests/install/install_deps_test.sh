#!/usr/bin/env bash
# The install script against a package mirror that fails: stand-ins for
# apt-get, dpkg-query and sudo earlier on PATH fail the calls each case
# names, and report the packages it names as not installed until the
# stand-in apt-get installs them. Needs the test tier installed.
# Usage: install_deps_test.sh SOURCE_DIR
set -uo pipefail
script="$1/scripts/install-deps.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fake="$work/bin"
mkdir -p "$fake"
real_dpkg_query=$(command -v dpkg-query)

cat >"$fake/apt-get" <<'EOF'
#!/usr/bin/env bash
# FAKE_APT_<VERB>: the exit code of that verb (default 100, as apt-get's
# own for a failed index or fetch); an install that succeeds marks its
# packages installed.
echo "apt-get $*" >>"$FAKE_LOG"
for word in "$@"; do
  case "$word" in update | install | download) verb=$word ;; esac
done
status_name="FAKE_APT_${verb^^}"
status=${!status_name:-100}
[ "$verb" = update ] && [ "$status" -ne 0 ] &&
  echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?" >&2
if [ "$verb" = install ] && [ "$status" -eq 0 ]; then
  for word in "$@"; do [ "${word#-}" = "$word" ] && touch "$FAKE_DIR/installed-$word"; done
fi
exit "$status"
EOF
cat >"$fake/dpkg-query" <<EOF
#!/usr/bin/env bash
# The packages of FAKE_MISSING are not installed until apt-get installs them.
package=\${!#}
if [[ " \$FAKE_MISSING " == *" \$package "* ]] && [ ! -e "\$FAKE_DIR/installed-\$package" ]; then
  echo "dpkg-query: no packages found matching \$package" >&2
  exit 1
fi
exec "$real_dpkg_query" "\$@"
EOF
printf '#!/bin/sh\nexec "$@"\n' >"$fake/sudo"
chmod +x "$fake"/*

failures=0
# expect NAME TIER CODE PATTERN [VARIABLE=VALUE ...]: the script's exit code
# and a line of its output matching PATTERN.
expect() {
  local name=$1 tier=$2 code=$3 pattern=$4
  shift 4
  rm -f "$work"/installed-* "$work/log"
  local output status=0
  output=$(env PATH="$fake:$PATH" FAKE_DIR="$work" FAKE_LOG="$work/log" FAKE_MISSING= \
    VELMORA_APT_PAUSE=0 "$@" bash "$script" "$tier" 2>&1) || status=$?
  if [ "$status" -eq "$code" ] && grep -qE "$pattern" <<<"$output"; then
    echo "ok: $name"
  else
    echo "FAILED: $name: exit $status (expected $code, and a line matching '$pattern'); output:"
    printf '  %s\n' "$output"
    failures=$((failures + 1))
  fi
}

expect "every apt-get failing, everything present: nothing asked of apt" test 0 'all [0-9]+ packages of the test tier present'
[ ! -e "$work/log" ] || { echo "FAILED: apt-get was called: $(cat "$work/log")"; failures=$((failures + 1)); }

expect "an index failing on every try: a warning, and the package installs" run 0 \
  'warning: some package indexes could not be refreshed' FAKE_MISSING=cmake FAKE_APT_INSTALL=0
tries=$(grep -c 'update' "$work/log")
[ "$tries" -eq 3 ] || { echo "FAILED: apt-get update tried $tries times (expected 3)"; failures=$((failures + 1)); }

expect "a package that cannot be had: named, with the advice to come back" run 1 \
  'could not get the package\(s\) libpng-dev: .*run the command again later' FAKE_MISSING=libpng-dev

# ffmpeg in the video tier, not in the run tier.
expect "the video tier asks for ffmpeg" video 1 'could not get the package\(s\) ffmpeg: ' FAKE_MISSING=ffmpeg
expect "the run tier leaves ffmpeg out" run 0 'all [0-9]+ packages of the run tier present' FAKE_MISSING=ffmpeg

# Wine's 32-bit DLLs into an empty folder: only where 32-bit code runs.
as --32 -o "$work/probe.o" "$1/tests/x86_runtime/x86_probe.S" && ld -m elf_i386 -o "$work/probe" "$work/probe.o"
if "$work/probe" >/dev/null 2>&1; then
  expect "Wine's 32-bit DLLs not downloadable: named, nothing unpacked" test 1 \
    'could not get .*libwine:i386' VELMORA_WOW64_DIR="$work/wow64"
else
  expect "Wine's 32-bit DLLs on a machine without 32-bit code: not fetched" test 0 \
    'cannot execute 32-bit x86 code' VELMORA_WOW64_DIR="$work/wow64"
fi
[ ! -e "$work/wow64" ] || { echo "FAILED: $work/wow64 was made"; failures=$((failures + 1)); }

[ "$failures" -eq 0 ] && echo "install-deps.sh: every case as expected"
exit $((failures > 0))
