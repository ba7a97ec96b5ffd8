#!/usr/bin/env bash
# Velmora's main job: show the saver. Renders the emerging set headless as a
# sequence of PNG pictures into the given folder.
set -euo pipefail
out="${1:-out}"
mkdir -p "$out"
render=build/native/src/render/velmora-render
"$render" --size 1024x768 --seed 1 --frames 9 --every 360 --out "$out/velmora.png"
echo "Pictures of the emerging set: $(cd "$out" && pwd)/velmora-*.png"
