#!/usr/bin/env bash
# Starts the real program on a private virtual X server, finds its window by title, checks its
# size, takes a screenshot and closes the window with its own Close button.
# Usage: smoke_test.sh PROGRAM SCREENSHOT.png
set -euo pipefail
program=$1
screenshot=$2
source "$(dirname "$0")/../../scripts/murmex-window.sh"
work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  kill ${pid:-} ${xvfb_pid:-} 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
start_private_x_server "$work" || exit 1
start_murmex_window "$program" || exit 1
trap cleanup EXIT

# Let the first paint land before measuring and capturing.
sleep 1
size=$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
if [[ "$size" != "409x497" ]]; then
  echo "smoke: window is $size, expected 409x497" >&2
  exit 1
fi
import -window "$window" "$screenshot"
[[ -s "$screenshot" ]] || { echo "smoke: no screenshot written" >&2; exit 1; }

# "Close" sits at (296, 40) with size 105 x 39: click its middle.
xdotool mousemove --window "$window" 348 59 click 1
for _ in $(seq 1 50); do
  if ! kill -0 "$pid" 2>/dev/null; then
    wait "$pid"
    pid=""
    echo "smoke: window $size shown, captured to $screenshot and closed"
    exit 0
  fi
  sleep 0.1
done
echo "smoke: the window did not close on its Close button" >&2
exit 1
