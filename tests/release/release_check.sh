#!/usr/bin/env bash
# One version everywhere: every artefact given must say VERSION, the
# project()'s version. The Debian package's Version field and name, and the
# packaged `velmora --version` and `velmora-render --version`; the installer's
# name and version resource; the zip's name and both savers' version resources
# inside it; the source tarball's name, folder and project() version (a
# tarball that does not list fails); the top entries of CHANGELOG.md and of
# the Debian changelog; and, with --sums, that SHA256SUMS verifies every
# file of its folder. Each check prints "ok" or "FAILED"; the script fails
# when one does.
#
# Usage: release_check.sh --version V [--deb F] [--setup F] [--zip F]
#          [--tarball F] [--changelog CHANGELOG.md] [--debian-changelog F]
#          [--sums DIR]
set -uo pipefail

declare -A given=()
while [ $# -gt 0 ]; do
  case "$1" in
    --version | --deb | --setup | --zip | --tarball | --changelog | --debian-changelog | --sums)
      [ $# -ge 2 ] || { echo "$1 needs a value" >&2; exit 2; }
      given[${1#--}]=$2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
  shift 2
done
version=${given[version]:-}
[ -n "$version" ] || { echo "missing --version" >&2; exit 2; }

work=$(mktemp -d /tmp/velmora-release-check.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
pass() { echo "ok: $1"; }
fail() { echo "FAILED: $1${2:+ ($2)}"; failures=$((failures + 1)); }
expect() { # NAME ACTUAL EXPECTED
  if [ "$2" = "$3" ]; then pass "$1"; else fail "$1" "got '$2', expected '$3'"; fi
}

# Windows versions have four parts: 1.0 is 1.0.0.0.
IFS=. read -r -a parts <<<"$version.0.0.0"
quad="${parts[0]}.${parts[1]}.${parts[2]}.${parts[3]}"

# A value of the version resource's string table (UTF-16), as Explorer shows it.
version_string() { # FILE KEY
  strings -n 1 -el "$1" | grep -m 1 -A 1 -x "$2" | sed -n 2p
}
# The fixed part's file version: four 16-bit words after the signature
# 0xFEEF04BD, the most significant double word first, each little-endian.
fixed_file_version() { # FILE
  local at words
  at=$(LC_ALL=C grep -obUaP -m 1 '\xbd\x04\xef\xfe' "$1" | head -n 1 | cut -d: -f1)
  [ -n "$at" ] || return 0
  read -r -a words < <(od -An -tu2 -j $((at + 8)) -N 8 "$1")
  echo "${words[1]}.${words[0]}.${words[3]}.${words[2]}"
}
check_version_resource() { # LABEL FILE
  expect "$1 ProductVersion" "$(version_string "$2" ProductVersion)" "$version"
  expect "$1 FileVersion" "$(version_string "$2" FileVersion)" "$version"
  expect "$1 fixed file version" "$(fixed_file_version "$2")" "$quad"
}
check_name() { # FILE EXPECTED-NAME-PATTERN
  # shellcheck disable=SC2053 # the pattern is a glob on purpose
  if [[ "$(basename "$1")" == $2 ]]; then pass "$(basename "$1") is named for $version"
  else fail "$(basename "$1") is named for $version" "expected $2"; fi
}

if [ -n "${given[deb]:-}" ]; then
  deb=${given[deb]}
  check_name "$deb" "velmora_${version}_*.deb"
  expect "the package's Version field" "$(dpkg-deb -f "$deb" Version)" "$version"
  # The programs as the package installs them.
  dpkg-deb -x "$deb" "$work/deb"
  for program in usr/libexec/xscreensaver/velmora usr/bin/velmora-render; do
    name=$(basename "$program")
    said=$("$work/deb/$program" --version 2>&1)
    status=$?
    expect "$name --version" "$said (exit $status)" "$name $version (exit 0)"
  done
fi

if [ -n "${given[setup]:-}" ]; then
  check_name "${given[setup]}" "velmora-setup-$version.exe"
  check_version_resource "installer" "${given[setup]}"
fi

if [ -n "${given[zip]:-}" ]; then
  check_name "${given[zip]}" "velmora-$version-windows.zip"
  mkdir "$work/zip"
  zip=$(readlink -f "${given[zip]}")
  (cd "$work/zip" && cmake -E tar xf "$zip") || fail "the zip unpacks"
  for machine in x86 x64; do
    if [ -f "$work/zip/$machine/velmora.scr" ]; then
      check_version_resource "$machine/velmora.scr" "$work/zip/$machine/velmora.scr"
    else
      fail "the zip holds $machine/velmora.scr"
    fi
  done
fi

if [ -n "${given[tarball]:-}" ]; then
  tarball=${given[tarball]}
  check_name "$tarball" "velmora-$version.tar.gz"
  if ! listing=$(tar tzf "$tarball" 2>&1) || [ -z "$listing" ]; then
    fail "the source tarball lists" "$(grep -m 1 . <<<"$listing")"
  else
    expect "the source tarball holds only velmora-$version/" "$(grep -v -m 1 "^velmora-$version/" <<<"$listing")" ""
    said=$(tar xzOf "$tarball" "velmora-$version/CMakeLists.txt" 2>/dev/null |
      sed -n 's/^project(velmora VERSION \([0-9.]*\).*/\1/p')
    expect "the source tarball's CMakeLists.txt says its version" "$said" "$version"
  fi
fi

if [ -n "${given[changelog]:-}" ]; then
  # "## 1.0 — date": the version is the heading's first word.
  top=$(grep -m 1 '^## ' "${given[changelog]}" | awk '{print $2}')
  expect "CHANGELOG.md's top entry" "$top" "$version"
fi

if [ -n "${given[debian-changelog]:-}" ]; then
  # "velmora (1.0) unstable; urgency=medium"
  top=$(sed -n '1s/^velmora (\([^)]*\)).*/\1/p' "${given[debian-changelog]}")
  expect "the Debian changelog's top entry" "$top" "$version"
fi

if [ -n "${given[sums]:-}" ]; then
  dir=${given[sums]}
  if report=$(cd "$dir" && sha256sum --strict -c SHA256SUMS 2>&1); then
    pass "SHA256SUMS verifies"
  else
    fail "SHA256SUMS verifies" "$(grep -v ': OK$' <<<"$report" | tr '\n' ' ')"
  fi
  listed=$(sed 's/^[0-9a-f]\{64\}  //' "$dir/SHA256SUMS" | sort)
  present=$(cd "$dir" && find . -type f ! -name SHA256SUMS -printf '%P\n' | sort)
  expect "SHA256SUMS lists every file of the folder" "$(tr '\n' ' ' <<<"$listed")" "$(tr '\n' ' ' <<<"$present")"
fi

if [ "$failures" -gt 0 ]; then
  echo "release_check: $failures check(s) failed for version $version"
  exit 1
fi
echo "release_check: every artefact says $version"
