#!/usr/bin/env bash
# Remakes resources/velmora.ico from the saver's own picture with the native
# icon maker. The file is committed; the native test icon_up_to_date checks
# that it still matches what the maker produces.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/native}"
cmake --preset native -B "$build" >/dev/null
cmake --build "$build" --target velmora-icon-maker -j2
"$build/resources/velmora-icon-maker" resources/velmora.ico
echo "wrote resources/velmora.ico"
