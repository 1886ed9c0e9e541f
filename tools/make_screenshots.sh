#!/usr/bin/env bash
# Screenshots of the editor's windows for the README, into docs/screenshots/: runs the built
# editor on the virtual pedal under xvfb-run, drives it as a user would (xdotool: Connect,
# a category, an effect, "?", then Upload, Open FX, Request, a slider moved, the Edit menu and
# the saved sounds; a second run connects to the bootloader and opens the firmware window) and
# grabs each window with ImageMagick. Look 0, a fresh Documents folder. The menus open by their
# keys (Alt and the underlined letter).
set -euo pipefail
cd "$(dirname "$0")/.."
editor=${TOVEL_EDITOR:-$PWD/build/tovel-editor}
[ -n "${TOVEL_EDITOR:-}" ] || cmake --build build -j2 --target tovel-editor
out=docs/screenshots
mkdir -p "$out"

xvfb-run -a -s "-screen 0 1600x1000x24" bash -s "$editor" "$PWD/$out" <<'SESSION'
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
menu() { xdotool windowfocus --sync "$main"; xdotool key "alt+$1"; sleep 0.5; xdotool key "$2"; sleep 0.7; }
menu c c                                                         # Connection > Connect
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
# The sound edited: uploaded, opened, read, a slider moved; the Edit menu, the saved sounds.
press() { xdotool windowfocus --sync "$main"; xdotool key "$1"; sleep 1; }
press alt+u; xdotool key Return; sleep 1                         # Upload Selected Effect, its question
press alt+o                                                      # Open FX
press F5                                                         # Request
press F6; xdotool key Page_Up Page_Up Page_Up; sleep 0.5            # to the parameters, a slider up
press alt+e                                                      # Edit
import -window root -crop 1000x500+0+0 "$out/edit-menu.png"
xdotool key Escape; sleep 0.3
press ctrl+s; xdotool key Return; sleep 0.5                      # Save Configuration, its message
press ctrl+l                                                     # the saved sounds
sounds=$(window "^Saved Sounds")
xdotool windowfocus --sync "$sounds"; xdotool key Tab; xdotool type "verse"; xdotool key Return; sleep 1
xdotool key Return; sleep 1                                      # "FX Configuration File Saved"
grab "$sounds" saved-sounds.png
kill $pid; wait $pid 2>/dev/null || true

# The controller's bootloader: Upgrade Mode, Connect, then the firmware window.
"$editor" --virtual-pedal --pedal-bootloader &
pid=$!
main=$(window "^ZANTH Editor$")
sleep 1
menu m u                                                         # Firmware Upgrade > Upgrade Mode
menu c c                                                         # Connection > Connect
xdotool key Return; sleep 0.7                                    # "Connection to bootloader succeeded"
menu m s                                                         # Start Firmware Upgrade
grab "$(window "^Firmware Upgrade$")" firmware.png
kill $pid; wait $pid 2>/dev/null || true
SESSION

for shot in "$out"/*.png; do
  convert "$shot" -colors 256 "PNG8:$shot"
done
ls -l "$out"
