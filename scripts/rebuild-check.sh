#!/usr/bin/env bash
# Builds the release's artefacts again, in another folder and with another
# time zone, locale, umask and job count, and requires the same SHA256SUMS:
# both savers as packed, the Debian package, the Windows zip and installer,
# and, from a commit, its source tarball. On a mismatch it runs diffoscope
# on the first artefact that differs and fails.
#
# Usage: rebuild-check.sh [--commit REV | --tree linux|windows | --release DIR]
#                         [--work DIR]
#   --commit REV   two builds of the commit REV (default HEAD), each from its
#                  source tarball, as a user builds a release
#   --tree PART    one build of the work tree's files as they are, compared
#                  with what this tree's own builds made (build/native's
#                  package, or build/windows-x64's installer, zip and
#                  savers): the tests in make test
#   --release DIR  one build from the release folder DIR's source tarball,
#                  compared with its SHA256SUMS
#   --work DIR     where the builds go (build/rebuild-check; emptied first)
# The builds made here are the packaging ones alone (no tests or
# benchmarks), with the presets of make package and make installer and in
# their folders: the programs' debugging information, which the package
# strips but its build IDs sum up, names the build folder (build/native).
set -euo pipefail
repo=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
mode=commit rev=HEAD parts="linux windows" release_dir="" work=$repo/build/rebuild-check
while [ $# -gt 0 ]; do
  case "$1:${2:-}" in
    --commit:?*) rev=$2 ;;
    --tree:linux | --tree:windows) mode=tree parts=$2 ;;
    --release:?*) mode=release release_dir=$(readlink -f "$2") ;;
    --work:?*) work=$2 ;;
    *)
      echo "usage: rebuild-check.sh [--commit REV | --tree linux|windows | --release DIR] [--work DIR]" >&2
      exit 2
      ;;
  esac
  shift 2
done
rm -rf "$work"
mkdir -p "$work"
work=$(readlink -f "$work")

# project()'s version in the CMakeLists.txt on standard input.
project_version() { sed -n 's/^project(velmora VERSION \([0-9.]*\).*/\1/p' | head -n 1; }

# The sources into FOLDER: the tarball unpacked, or the work tree's files.
unpack_sources() { # FOLDER
  mkdir -p "$1"
  if [ -n "$tarball" ]; then
    tar -xzf "$tarball" -C "$1" --strip-components=1
  else
    (cd "$repo" && git ls-files -z --cached --others --exclude-standard |
      while IFS= read -r -d '' file; do [ -e "$file" ] && printf '%s\0' "$file"; done |
      tar -c --null -T -) | tar -x -C "$1"
  fi
}

# The artefacts of VERSION that the builds NATIVE (a Linux build's folder)
# and WIN64 (the 64-bit Windows build's) made into OUT, with their
# SHA256SUMS, the savers first: they are in the zip and the installer too.
collect() { # OUT NATIVE WIN64 VERSION
  local out=$1 version=$4 names=()
  mkdir -p "$out"
  if [[ $parts == *windows* ]]; then
    mkdir -p "$out/x86" "$out/x64"
    cp "$3/packaging/windows/stage/x86/velmora.scr" "$out/x86/"
    cp "$3/packaging/windows/stage/x64/velmora.scr" "$out/x64/"
    cp "$3/velmora-$version-windows.zip" "$3/velmora-setup-$version.exe" "$out/"
    names+=(x86/velmora.scr x64/velmora.scr "velmora-$version-windows.zip" "velmora-setup-$version.exe")
  fi
  if [[ $parts == *linux* ]]; then
    cp "$2/velmora_${version}_amd64.deb" "$out/"
    names+=("velmora_${version}_amd64.deb")
  fi
  if [ -n "$tarball" ]; then
    cp "$tarball" "$out/"
    names+=("$(basename "$tarball")")
  fi
  (cd "$out" && sha256sum -- "${names[@]}" >SHA256SUMS)
}

# Builds the artefacts in SOURCES with JOBS jobs and collects them into OUT;
# the log goes to OUT.log. The package is made with umask 022, as make
# package and dpkg-buildpackage make it: CPack takes its folders' and
# members' modes from the files it writes.
build_artefacts() { # SOURCES OUT JOBS
  local sources=$1 out=$2 jobs=$3 quick=(-DBUILD_TESTING=OFF -DVELMORA_BENCHMARKS=OFF)
  {
    cd "$sources"
    if [[ $parts == *linux* ]]; then
      cmake --preset native "${quick[@]}"
      cmake --build --preset native -j "$jobs"
      (cd build/native && umask 022 && cpack -G DEB)
    fi
    if [[ $parts == *windows* ]]; then
      cmake --preset windows-x86 "${quick[@]}"
      cmake --build --preset windows-x86 -j "$jobs" --target velmora_saver
      cmake --preset windows-x64 "${quick[@]}"
      cmake --build --preset windows-x64 -j "$jobs" --target installer package-windows
    fi
  } >"$out.log" 2>&1 || { tail -n 40 "$out.log" >&2; echo "rebuild-check: the build in $sources failed" >&2; return 1; }
  collect "$out" "$sources/build/native" "$sources/build/windows-x64" "$(project_version <"$sources/CMakeLists.txt")"
}

# Fails, with diffoscope's account of the first artefact that differs
# between the folders A and B, unless every line of A's SHA256SUMS is in B's
# (a release folder's lists only what it hands out).
compare() { # A B
  local line name
  while IFS= read -r line; do
    grep -qxF -- "$line" "$2/SHA256SUMS" && continue
    name=${line#*  }
    if [ ! -e "$2/$name" ]; then
      [ "$mode" = release ] && continue
      echo "rebuild-check: $2 has no $name" >&2
      return 1
    fi
    echo "rebuild-check: $name differs between $1 and $2; diffoscope says:" >&2
    diffoscope --text "$work/diffoscope.txt" "$1/$name" "$2/$name" >/dev/null 2>&1 || true
    head -n 80 "$work/diffoscope.txt" >&2
    echo "rebuild-check: diffoscope's whole account: $work/diffoscope.txt" >&2
    return 1
  done <"$1/SHA256SUMS"
}

# Build in FOLDER: the sources, then the artefacts with JOBS jobs, in the
# time zone TZ with the locale LOCALE and the umask MASK.
build_in() { # FOLDER JOBS TZ LOCALE MASK
  local started=$SECONDS
  unpack_sources "$work/$1/velmora"
  (export TZ=$3 LC_ALL=$4 LANG=$4 && umask "$5" && build_artefacts "$work/$1/velmora" "$work/$1-artefacts" "$2")
  echo "rebuild-check: built in $work/$1 (TZ=$3, LC_ALL=$4, umask $5, $2 jobs): $((SECONDS - started)) s"
}

tarball=
case "$mode" in
  commit)
    commit=$(git -C "$repo" rev-parse --verify "$rev^{commit}")
    version=$(git -C "$repo" show "$commit:CMakeLists.txt" | project_version)
    tarball=$work/velmora-$version.tar.gz
    "$repo/scripts/release.sh" --tarball "$commit" "$version" "$tarball"
    # The time comes from the tarball, as for any user.
    unset SOURCE_DATE_EPOCH
    build_in one 2 UTC C 022
    build_in second-build 1 Pacific/Chatham C.UTF-8 077
    compare "$work/one-artefacts" "$work/second-build-artefacts"
    ;;
  tree)
    SOURCE_DATE_EPOCH=$(cmake -DSOURCE_DIR="$repo" -P "$repo/cmake/source_date_epoch.cmake")
    export SOURCE_DATE_EPOCH
    collect "$work/project-artefacts" "$repo/build/native" "$repo/build/windows-x64" \
      "$(project_version <"$repo/CMakeLists.txt")"
    build_in again 1 Pacific/Chatham C.UTF-8 077
    compare "$work/project-artefacts" "$work/again-artefacts"
    ;;
  release)
    tarball=$(echo "$release_dir"/velmora-*.tar.gz)
    [ -f "$tarball" ] || { echo "rebuild-check: no source tarball in $release_dir" >&2; exit 1; }
    unset SOURCE_DATE_EPOCH
    build_in one 2 UTC C 022
    compare "$work/one-artefacts" "$release_dir"
    ;;
esac
cat "$work"/*-artefacts/SHA256SUMS | sort -u
echo "rebuild-check: the same SHA256SUMS"
