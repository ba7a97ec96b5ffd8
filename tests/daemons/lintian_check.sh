#!/usr/bin/env bash
# lintian on the package: no error, no warning and no hardening tag of any
# kind (other information tags are printed, not counted). Run as an unprivileged user where we are root, as
# lintian asks.
# Usage: lintian_check.sh DEB
set -euo pipefail
deb="$1"
[ -f "$deb" ] || { echo "lintian_check: no package at $deb" >&2; exit 1; }
copy="$(mktemp -d /tmp/velmora-lintian.XXXXXX)"
trap 'rm -rf "$copy"' EXIT
chmod 755 "$copy"
cp "$deb" "$copy/" && chmod 644 "$copy/$(basename "$deb")"
run=()
[ "$(id -u)" -ne 0 ] || run=(runuser -u nobody --)
report="$(cd /tmp; "${run[@]}" lintian --display-info --pedantic "$copy/$(basename "$deb")" 2>&1 || true)"
[ -z "$report" ] || printf '%s\n' "$report"
if printf '%s\n' "$report" | grep -E '^[EW]: '; then
  echo "lintian_check: lintian reports the errors or warnings above" >&2
  exit 1
fi
# The programs are built with dpkg-buildflags' hardening: fortify, bindnow,
# relro and PIE tags (some only informational) would say they are not.
if printf '%s\n' "$report" | grep -E '^[A-Z]: [^ ]+: hardening-'; then
  echo "lintian_check: lintian finds programs built without hardening, above" >&2
  exit 1
fi
echo "lintian_check: no error, no warning, no hardening tag"
