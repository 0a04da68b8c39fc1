#!/usr/bin/env bash
# Captures the window during a preview with noise reduction on and the spectrum drawn.
# Run it under an X server, e.g.:
#   xvfb-run -a -s "-screen 0 1024x768x24" docs/preview_screenshot.sh build/app/murmex data/demo-noisy.wav docs/preview.png
set -euo pipefail
program=$1
audio=$(realpath "$2")
screenshot=$3
title="FFT Noise reduction by Tarlo"

export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
"$program" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

window=""
for _ in $(seq 1 150); do
  window=$(xdotool search --name "^${title}\$" 2>/dev/null | head -n 1 || true)
  [[ -n "$window" ]] && break
  sleep 0.1
done
[[ -n "$window" ]] || { echo "screenshot: no window titled \"$title\" appeared" >&2; exit 1; }
sleep 1

# Load through the open dialog: its file name field has the focus.
xdotool windowfocus --sync "$window" key ctrl+o
sleep 1.5
xdotool type --delay 20 "$audio"
xdotool key Return
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
