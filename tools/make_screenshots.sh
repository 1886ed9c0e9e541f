#!/usr/bin/env bash
# Screenshots of the editor's windows for the README, into docs/screenshots/: runs the built
# editor on the virtual pedal under xvfb-run, drives it as a user would (xdotool: Connect,
# a category, an effect, "?"; a second run connects to the bootloader and opens the firmware
# window) and grabs each window with ImageMagick. Look 0, a fresh Documents folder.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build -j2 --target tovel-editor
out=docs/screenshots
mkdir -p "$out"

xvfb-run -a -s "-screen 0 1600x1000x24" bash -s "$PWD/build/tovel-editor" "$PWD/$out" <<'SESSION'
set -euo pipefail
editor=$1 out=$2
export HOME=$(mktemp -d)
trap 'rm -rf "$HOME"' EXIT
window() { timeout 30 xdotool search --sync --onlyvisible --name "$1" | head -n1; }
click() { xdotool mousemove "$1" "$2" click 1; sleep 0.7; }
grab() { xdotool windowraise "$1"; sleep 0.5; import -window "$1" "$out/$2"; }

# The effect firmware: connect, browse, open an effect's parameters and its page.
"$editor" --virtual-pedal --console &
pid=$!
main=$(window "^ZANTH Editor$")
sleep 1
grab "$main" main-window-start.png
click 90 11; xdotool key Down Down Return; sleep 0.7             # Connection > Connect
click 230 49                                                     # Modulation
click 230 181                                                    # its first effect
grab "$main" main-window.png
# The parameter window and the information window are both named after the effect.
params=$(window "^Lagoon Chorus$")
grab "$params" parameters.png
click 172 461                                                    # "?"
info=$(xdotool search --onlyvisible --name "^Lagoon Chorus$" | grep -vx "$params" | head -n1)
grab "$info" information.png
grab "$(window "^Print Console$")" console.png
kill $pid; wait $pid 2>/dev/null || true

# The controller's bootloader: Upgrade Mode, Connect, then the firmware window.
"$editor" --virtual-pedal --pedal-bootloader &
pid=$!
main=$(window "^ZANTH Editor$")
sleep 1
click 273 11; xdotool key Down Return; sleep 0.7                 # Firmware Upgrade > Upgrade Mode
click 90 11; xdotool key Down Down Return; sleep 1               # Connection > Connect
xdotool key Return; sleep 0.7                                    # "Connection to bootloader succeeded"
click 273 11; xdotool key Down Down Return; sleep 1              # Start Firmware Upgrade
grab "$(window "^Firmware Upgrade$")" firmware.png
kill $pid; wait $pid 2>/dev/null || true
SESSION

for shot in "$out"/*.png; do
  convert "$shot" -colors 256 "PNG8:$shot"
done
ls -l "$out"
