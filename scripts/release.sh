#!/usr/bin/env bash
# The release folder, release/velmora-VERSION/, for `make release`:
#   release.sh --clean-tree  fails, saying why, when git status lists anything
#                            (a release is made of committed sources only),
#                            and records HEAD as the release's commit;
#   release.sh --gather      refuses when HEAD is not that commit any more or
#                            the tree has changed; puts the packages the
#                            builds made (the .deb, the Windows installer and
#                            zip), the commit's source tarball and
#                            CHANGELOG.md into the folder, writes their
#                            SHA256SUMS, then checks what is in the artefacts:
#                            every version (tests/release/release_check.sh);
#   release.sh --check       checks the folder again: every version and the
#                            checksums;
#   release.sh --tarball COMMIT VERSION FILE
#                            writes the source tarball of COMMIT, as a
#                            release has it (the rebuild check's too).
# VERSION is the one CMake read from project() (the native build's cache).
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."

project_version() {
  local cache=build/native/CMakeCache.txt
  [ -f "$cache" ] || { echo "release: no native build (build/native) to take the version from" >&2; exit 1; }
  sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$cache"
}

check() { # DIR VERSION [--sums DIR]
  tests/release/release_check.sh --version "$2" \
    --deb "$(echo "$1"/velmora_"$2"_*.deb)" \
    --setup "$1/velmora-setup-$2.exe" --zip "$1/velmora-$2-windows.zip" \
    --tarball "$1/velmora-$2.tar.gz" --changelog "$1/CHANGELOG.md" \
    --debian-changelog data/debian/changelog "${@:3}"
}

require_clean_tree() {
  local changes
  changes=$(git status --porcelain)
  if [ -n "$changes" ]; then
    printf '%s\n' "$changes" >&2
    echo "release: the tree has the changes above; commit or remove them first (a release is built from HEAD)" >&2
    exit 1
  fi
}

# git's own gzip, without a name or time of its own: the same bytes for the
# same commit; source-date-epoch gets the commit's time.
source_tarball() { # COMMIT VERSION FILE
  git archive --format=tar.gz --prefix="velmora-$2/" -o "$3" "$1"
}

# The commit found clean at the start of make release.
commit_file=build/release-commit

case "${1:-}" in
  --clean-tree)
    require_clean_tree
    mkdir -p build
    git rev-parse --verify HEAD >"$commit_file"
    ;;
  --gather)
    commit=$(cat "$commit_file" 2>/dev/null) || { echo "release: no commit recorded in $commit_file: run make release" >&2; exit 1; }
    head=$(git rev-parse --verify HEAD)
    if [ "$head" != "$commit" ]; then
      echo "release: HEAD is $head, not $commit, which make release found clean and built: run make release again" >&2
      exit 1
    fi
    require_clean_tree
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
    source_tarball "$commit" "$version" "$dir/velmora-$version.tar.gz"
    # Written aside, then moved in: the list must not name itself.
    (cd "$dir" && sha256sum -- * >../SHA256SUMS.new && mv ../SHA256SUMS.new SHA256SUMS)
    check "$dir" "$version"
    echo "release: $dir"
    ls -l "$dir"
    ;;
  --check)
    version=$(project_version)
    check "release/velmora-$version" "$version" --sums "release/velmora-$version"
    ;;
  --tarball)
    [ $# -eq 4 ] || { echo "usage: release.sh --tarball COMMIT VERSION FILE" >&2; exit 2; }
    source_tarball "$2" "$3" "$4"
    ;;
  *)
    echo "usage: release.sh --clean-tree | --gather | --check | --tarball COMMIT VERSION FILE" >&2
    exit 2
    ;;
esac
