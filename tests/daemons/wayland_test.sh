#!/usr/bin/env bash
# The installed hack on Wayland, as docs/linux.md has swayidle start it: in a
# headless sway, `swayidle -w timeout N '/usr/libexec/xscreensaver/velmora
# -root'` starts it when the seat is idle, it covers the output with the
# scene, and a key ends it.
# Usage: wayland_test.sh DEB [DAEMON_PROBE]
source "$(dirname "$0")/daemon_lib.sh"
install_package "$1"
dependencies="$(dpkg-query -W -f='${Depends}' velmora)"
for library in libwayland-client0 libwayland-egl1 libxkbcommon0 libegl1; do
  [[ "$dependencies" == *"$library"* ]] || abort "Depends lacks $library"
done

folder="$(mktemp -d)"
start_sway 1024x768 "$folder" || abort "headless sway did not start"
"${as_sway_user[@]}" swayidle -w timeout 1 "$hack -root" >"$work/swayidle.log" 2>&1 &
started_by_swayidle() { pgrep -f "^$hack -root" >/dev/null; }
wait_for 30 started_by_swayidle || abort "swayidle did not start the hack"

# Colourful: the scene, not sway's grey background. Its pixels' mean
# saturation, from a screenshot.
saturation() {
  "${as_sway_user[@]}" grim -t ppm "$folder/shot.ppm" &&
    convert "$folder/shot.ppm" -colorspace HSL -channel G -separate -format '%[fx:mean]' info:
}
drawn() { less_than 0.2 "$(saturation || echo 0)"; }
wait_for 30 drawn || abort "the hack drew nothing (mean saturation $(saturation))"
note "swayidle started $hack -root, which covers the output"

"${as_sway_user[@]}" wtype -s 1000 a
ended() { ! started_by_swayidle; }
wait_for 10 ended || abort "a key did not end the hack"
note "a key ended it"
rm -rf "$folder"
