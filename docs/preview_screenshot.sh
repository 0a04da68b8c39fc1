#!/usr/bin/env bash
# Captures the window during a preview with noise reduction on and the spectrum drawn.
# Run it under an X server, e.g.:
#   xvfb-run -a -s "-screen 0 1024x768x24" docs/preview_screenshot.sh build/app/murmex data/demo-noisy.wav docs/preview.png
set -euo pipefail
program=$1
audio=$(realpath "$2")
screenshot=$3
source "$(dirname "$0")/../scripts/murmex-window.sh"
# The file named on the command line is loaded as if chosen in the open dialog.
start_murmex_window "$program" "$audio" || exit 1
sleep 1.5

# "Apply preview noise reduction" (its box at 200, 336), then Play.
xdotool windowfocus --sync "$window" mousemove --window "$window" 200 336 click 1
sleep 0.3
xdotool key space
sleep 1.2
import -window "$window" "$screenshot"
[[ -s "$screenshot" ]] || { echo "screenshot: nothing captured" >&2; exit 1; }
xdotool key space
echo "screenshot: $screenshot"
