#!/usr/bin/env bash
# Every shell script of the project checked by shellcheck, with the
# .shellcheckrc at the top: clean, not even a note.
# Usage: shellcheck.sh SOURCE_DIR
set -euo pipefail
cd "$1"
mapfile -t scripts < <(find . \( -path ./build -o -path ./release -o -path ./out -o -path ./.git \) -prune -o \
  -type f \( -name '*.sh' -o -path ./scripts/wine-run -o -path ./.ci/run \) -print | sort)
# Fewer than this means the search itself went wrong.
[ ${#scripts[@]} -ge 20 ] || { echo "shellcheck.sh: only ${#scripts[@]} scripts found" >&2; exit 1; }
shellcheck "${scripts[@]}"
echo "shellcheck.sh: ${#scripts[@]} scripts, clean"
