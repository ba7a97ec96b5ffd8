#!/usr/bin/env bash
# The C++ sources of src/, tests/, bench/, fuzz/ and resources/ as
# .clang-format at the top writes them: clang-format changes nothing.
# Usage: format_check.sh SOURCE_DIR
set -euo pipefail
cd "$1"
mapfile -t sources < <(find src tests bench fuzz resources -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
# Fewer than this means the search itself went wrong.
[ ${#sources[@]} -ge 100 ] || { echo "format_check.sh: only ${#sources[@]} sources found" >&2; exit 1; }
clang-format --dry-run -Werror "${sources[@]}"
echo "format_check.sh: ${#sources[@]} sources as .clang-format writes them"
