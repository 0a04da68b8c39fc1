#!/usr/bin/env bash
# Starts the real program on a private virtual X server, finds its window by title, checks its
# size, takes a screenshot, opens the open dialog from the keyboard and finds it by its exact
# title (nothing appended), and closes the window with its own Close button.
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

# Ctrl+O opens the open dialog, titled exactly as the window names it: the name a window manager
# shows (_NET_WM_NAME) has nothing appended.
xdotool windowfocus --sync "$window" key ctrl+o
dialog=""
for _ in $(seq 1 50); do
  dialog=$(xdotool search --name "^Select audio file" 2>/dev/null | head -n 1 || true)
  [[ -n "$dialog" ]] && break
  sleep 0.1
done
[[ -n "$dialog" ]] || { echo "smoke: Ctrl+O opened no dialog" >&2; exit 1; }
title=$(xprop -id "$dialog" _NET_WM_NAME | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p')
if [[ "$title" != "Select audio file" ]]; then
  echo "smoke: the open dialog is titled \"$title\", expected \"Select audio file\"" >&2
  exit 1
fi
xdotool windowfocus --sync "$dialog" key Escape
for _ in $(seq 1 50); do
  xdotool search --name "^Select audio file" >/dev/null 2>&1 || break
  sleep 0.1
done

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
