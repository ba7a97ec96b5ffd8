#!/usr/bin/env bash
# The release checks on bad inputs, each of which must fail them: a corrupt,
# a missing and a wrongly versioned source tarball, a missing package, and
# make release's gathering after HEAD moved. Beside them the good inputs,
# which must pass, so that a failure is the fault's own.
# Usage: release_faults.sh SOURCE_DIR VERSION DEB WORK
set -uo pipefail
here=$(dirname "$(readlink -f "$0")")
# shellcheck source=../../scripts/suite_lib.sh
source "$here/../../scripts/suite_lib.sh"
src=$1 version=$2 deb=$3 work=$4
started=$SECONDS
git -C "$src" rev-parse --verify HEAD >/dev/null 2>&1 || { echo "skipped: $src is no git checkout"; exit 77; }
rm -rf "$work"
mkdir -p "$work/good" "$work/corrupt" "$work/other"
git -C "$src" archive --format=tar.gz --prefix="velmora-$version/" -o "$work/good/velmora-$version.tar.gz" HEAD
# Named and unpacking as 9.9, made of a commit that says $version.
git -C "$src" archive --format=tar.gz --prefix=velmora-9.9/ -o "$work/other/velmora-9.9.tar.gz" HEAD
echo "not a tarball" >"$work/corrupt/velmora-$version.tar.gz"

# release_check.sh on one input: EXPECTED (passes or fails), the case, then
# the checker's arguments.
check_case() {
  local expected=$1 name=$2 said
  shift 2
  said=$(bash "$here/release_check.sh" "$@" 2>&1) && outcome=passes || outcome=fails
  expect "$name: the check $expected" "$outcome" "$expected"
  [ "$outcome" = "$expected" ] || echo "$said"
}
check_case passes "the commit's tarball" --version "$version" --tarball "$work/good/velmora-$version.tar.gz"
check_case fails "a text file named .tar.gz" --version "$version" --tarball "$work/corrupt/velmora-$version.tar.gz"
check_case fails "a tarball that does not exist" --version "$version" --tarball "$work/missing/velmora-$version.tar.gz"
check_case fails "a tarball whose CMakeLists.txt says $version, checked for 9.9" \
  --version 9.9 --tarball "$work/other/velmora-9.9.tar.gz"
check_case passes "the package" --version "$version" --deb "$deb"
check_case fails "a package that does not exist" --version "$version" --deb "$work/missing/velmora_${version}_amd64.deb"

# make release's last step in a clone holding the tree's release scripts:
# refused once HEAD has moved from the commit found clean, not before.
export GIT_AUTHOR_NAME=test GIT_AUTHOR_EMAIL=test@example.invalid GIT_COMMITTER_NAME=test \
  GIT_COMMITTER_EMAIL=test@example.invalid
clone=$work/clone
git clone -q "$src" "$clone"
cp "$src/scripts/release.sh" "$clone/scripts/"
cp "$here/release_check.sh" "$clone/tests/release/"
git -C "$clone" commit -q -a --allow-empty -m "The release scripts under test"
mkdir -p "$clone/build/native"
echo "CMAKE_PROJECT_VERSION:STATIC=$version" >"$clone/build/native/CMakeCache.txt"
gather_refusal() { "$clone/scripts/release.sh" --gather 2>&1 | grep -c "make release found clean"; }
"$clone/scripts/release.sh" --clean-tree
expect "gathering at the commit found clean: no refusal for HEAD" "$(gather_refusal)" 0
git -C "$clone" commit -q --allow-empty -m "A commit during the build"
expect "gathering after a commit during the build: refused" "$(gather_refusal)" 1
finish_cases "release faults" "$started"
