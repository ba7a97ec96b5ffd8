#!/usr/bin/env bash
# Installs a native build into a scratch prefix and checks that the hack, its
# XScreenSaver configuration file, the desktop entry for MATE and Xfce and the
# renderer land where those programs look, in the formats they read.
# Usage: install_check.sh BUILD_DIR SCHEMA.rng
set -euo pipefail
build="$1"
schema="$2"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
fail() { echo "install_check: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

hack="$prefix/libexec/xscreensaver/velmora"
config="$prefix/share/xscreensaver/config/velmora.xml"
desktop="$prefix/share/applications/screensavers/velmora.desktop"
render="$prefix/bin/velmora-render"

[ -x "$hack" ] || fail "no hack at $hack"
[ -x "$render" ] || fail "no renderer at $render"
grep -q -- '-root' <<<"$("$hack" --help)" || fail "the installed hack does not run"
"$render" --help >/dev/null || fail "the installed renderer does not run"

# The configuration file: XScreenSaver's format, found by the program's name,
# running the hack on its window, no settings.
[ -f "$config" ] || fail "no configuration file at $config"
xmllint --noout --relaxng "$schema" "$config" 2>&1 | grep -q ' validates$' || fail "$config does not validate"
[ "$(xmllint --xpath 'string(/screensaver/@name)' "$config")" = "$(basename "$hack")" ] ||
  fail "the configuration's name is not the program's"
[ "$(xmllint --xpath 'string(/screensaver/command/@arg)' "$config")" = "--root" ] || fail "the command is not --root"
[ "$(xmllint --xpath 'count(/screensaver/*)' "$config")" = "2" ] || fail "the saver has no settings to offer"

# The schema is no formality: a description of blanks fails it.
sed 's|<_description>|<_description/><x>|; s|</_description>|</x>|' "$config" >"$prefix/broken.xml"
if xmllint --noout --relaxng "$schema" "$prefix/broken.xml" >/dev/null 2>&1; then
  fail "the schema accepts a broken file"
fi

# The desktop entry: valid, and running the installed hack on the saver's window.
[ -f "$desktop" ] || fail "no desktop entry at $desktop"
desktop-file-validate "$desktop" || fail "$desktop is not a valid desktop entry"
grep -qx "Exec=$hack -root" "$desktop" || fail "the desktop entry does not run $hack -root"
grep -qx "TryExec=$hack" "$desktop" || fail "the desktop entry does not try $hack"
# The manual pages, gzipped at build time, and the Debian copyright file.
for page in share/man/man6/velmora.6x.gz share/man/man1/velmora-render.1.gz; do
  gzip -t "$prefix/$page" 2>/dev/null || fail "no gzipped manual page at $prefix/$page"
  [ -z "$(gzip -dc "$prefix/$page" | LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l - 2>&1 >/dev/null)" ] ||
    fail "$page has formatting warnings"
done
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
  "$prefix/share/doc/velmora/copyright" || fail "no machine-readable copyright file"
echo "install_check: all files in place under $prefix"
