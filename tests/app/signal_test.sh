#!/usr/bin/env bash
# Starts the real program on a private virtual X server and sends it the signals a desktop
# session sends: kill, Ctrl+C in a terminal, logout. Each must close the window cleanly with
# exit status 0; during a save the save is cancelled first and the shortened file stays valid.
# Usage: signal_test.sh PROGRAM
set -euo pipefail
program=$1
source "$(dirname "$0")/../../scripts/murmex-window.sh"
work=$(mktemp -d)
pid=""
xvfb_pid=""
# With job control the window starts as a terminal would start it; otherwise the shell starts
# background commands with SIGINT ignored, and the program rightly keeps it ignored.
set -m

fail() {
  echo "signal test: $*" >&2
  if [[ -n "$xvfb_pid" ]] && ! kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "signal test: the X server ended early:" >&2
    tail -n 5 "$work/xvfb.log" >&2
  fi
  exit 1
}

cleanup() {
  for process in $pid $xvfb_pid; do kill "$process" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# start_murmex_window sets its own EXIT trap; this one also stops the server and cleans up.
start_window() {
  local started=0
  start_murmex_window "$@" || started=$?
  trap cleanup EXIT
  [[ $started -eq 0 ]] || fail "the window did not start"
}

# Waits up to $2 tenths of a second for the program to end; fails unless it ended with status 0.
expect_clean_exit() {
  local what=$1 tenths=$2 status=0
  for _ in $(seq 1 "$tenths"); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid" || status=$?
      [[ $status -eq 0 ]] || fail "$what: exit status $status, expected 0"
      return 0
    fi
    sleep 0.1
  done
  fail "$what: the program is still running"
}

little_endian32() {
  od -An -tu4 -j "$2" -N 4 "$1" | tr -d ' '
}

start_private_x_server "$work" || fail "no X server"
for signal in TERM INT HUP; do
  start_window "$program"
  kill -s "$signal" "$pid"
  expect_clean_exit "SIG$signal on an idle window" 100
  echo "signal test: SIG$signal closed the idle window, exit status 0"
done

# A save of two minutes of stereo noise, interrupted as soon as its file has grown.
source_file="$work/long.wav"
output="$work/clean.wav"
sox -n -r 44100 -c 2 -b 16 "$source_file" synth 120 whitenoise vol 0.3
start_window "$program" "$source_file"
sleep 1
dialog=""
for _ in $(seq 1 150); do
  # "Save to file" sits at (120, 40) with size 169 x 39; it is enabled once the file is loaded.
  xdotool mousemove --window "$window" 204 59 click 1
  sleep 0.2
  dialog=$(xdotool search --name "^Save audio as" 2>/dev/null | head -n 1 || true)
  [[ -n "$dialog" ]] && break
done
[[ -n "$dialog" ]] || fail "the save dialog did not open"
# Typed as real key presses into the focused dialog: an event sent to the dialog itself could
# find it already gone once Return has accepted it.
xdotool windowfocus --sync "$dialog"
xdotool key ctrl+a
xdotool type "$output"
xdotool key Return
# The save writes a hidden file beside the output and gives it the output's name when it ends.
partial=""
for _ in $(seq 1 500); do
  partial=$(find "$work" -maxdepth 1 -name '.murmex-*.part' -size +44c | head -n 1)
  [[ -n "$partial" ]] && break
  sleep 0.02
done
[[ -n "$partial" ]] || fail "the save did not start"
kill -s INT "$pid"
expect_clean_exit "SIGINT during a save" 200

size=$(stat -c %s "$output")
[[ $(little_endian32 "$output" 4) -eq $((size - 8)) ]] || fail "RIFF size does not match the file"
[[ $(little_endian32 "$output" 40) -eq $((size - 44)) ]] || fail "data size does not match the file"
duration=$(soxi -D "$output")
sox "$output" -n stat 2>/dev/null || fail "sox cannot read $output"
awk -v d="$duration" 'BEGIN { exit !(d > 0 && d < 120) }' || fail "saved $duration s: the save was not cut short"
echo "signal test: SIGINT during a save kept a valid file of $duration s and exit status 0"
