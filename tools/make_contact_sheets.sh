#!/usr/bin/env bash
# Builds tovel-look-sheets and runs it under xvfb-run: one contact sheet per look in docs/looks/
# (half size, 256 colours) and at full size in build/looks/ for a closer look.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build -j2 --target tovel-look-sheets
xvfb-run -a -s "-screen 0 1600x1000x24" build/tovel-look-sheets docs/looks --full build/looks "$@"
for sheet in docs/looks/look-*.png; do
  convert "$sheet" -colors 256 "PNG8:$sheet"
done
