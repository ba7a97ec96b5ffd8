#!/usr/bin/env bash
# The release folder, release/velmora-VERSION/, for `make release`:
#   release.sh --clean-tree  fails, saying why, when git status lists anything
#                            (a release is made of committed sources only);
#   release.sh --gather      puts the packages the builds made (the .deb, the
#                            Windows installer and zip), a source tarball of
#                            HEAD and CHANGELOG.md into the folder, writes
#                            their SHA256SUMS, then checks the folder;
#   release.sh --check       checks the folder again: every version and the
#                            checksums (tests/release/release_check.sh).
# VERSION is the one CMake read from project() (the native build's cache).
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."

project_version() {
  local cache=build/native/CMakeCache.txt
  [ -f "$cache" ] || { echo "release: no native build (build/native) to take the version from" >&2; exit 1; }
  sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$cache"
}

check() { # DIR VERSION
  tests/release/release_check.sh --version "$2" \
    --deb "$(echo "$1"/velmora_"$2"_*.deb)" \
    --setup "$1/velmora-setup-$2.exe" --zip "$1/velmora-$2-windows.zip" \
    --tarball "$1/velmora-$2.tar.gz" --changelog "$1/CHANGELOG.md" \
    --debian-changelog data/debian/changelog --sums "$1"
}

case "${1:-}" in
  --clean-tree)
    changes=$(git status --porcelain)
    if [ -n "$changes" ]; then
      printf '%s\n' "$changes" >&2
      echo "release: the tree has the changes above; commit or remove them first (a release is built from HEAD)" >&2
      exit 1
    fi
    ;;
  --gather)
    version=$(project_version)
    dir=release/velmora-$version
    debs=(build/native/velmora_"$version"_*.deb)
    if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
      echo "release: expected one package build/native/velmora_${version}_*.deb" >&2
      exit 1
    fi
    rm -rf "$dir"
    mkdir -p "$dir"
    cp "${debs[0]}" build/windows-x64/velmora-setup-"$version".exe build/windows-x64/velmora-"$version"-windows.zip \
      CHANGELOG.md "$dir"/
    git archive --format=tar.gz --prefix="velmora-$version/" -o "$dir/velmora-$version.tar.gz" HEAD
    # Written aside, then moved in: the list must not name itself.
    (cd "$dir" && sha256sum -- * >../SHA256SUMS.new && mv ../SHA256SUMS.new SHA256SUMS)
    check "$dir" "$version"
    echo "release: $dir"
    ls -l "$dir"
    ;;
  --check)
    version=$(project_version)
    check "release/velmora-$version" "$version"
    ;;
  *)
    echo "usage: release.sh --clean-tree | --gather | --check" >&2
    exit 2
    ;;
esac
