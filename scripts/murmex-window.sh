# Sourced by the scripts that drive the real window on an X server (the smoke test, the preview
# screenshot). start_murmex_window PROGRAM [ARGS...] starts the program, waits for its window and
# sets `pid` and `window`; the program is killed when the calling script exits.
# start_private_x_server DIR starts a virtual X server of the script's own and sets `xvfb_pid`
# and DISPLAY. The server picks a free display itself (-displayfd), so tests running side by side
# never meet on one, as they can with xvfb-run -a; it writes the number once it accepts clients.
murmex_title="FFT Noise reduction by Tarlo"

start_private_x_server() {
  local dir=$1
  # -noreset: a server resetting after its last client left refuses the next one for a moment.
  Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 1 100); do
    [[ -s "$dir/display" ]] && break
    sleep 0.1
  done
  if [[ ! -s "$dir/display" ]]; then
    echo "Xvfb did not start: $(cat "$dir/xvfb.log")" >&2
    return 1
  fi
  DISPLAY=":$(head -n 1 "$dir/display")"
  export DISPLAY
}

start_murmex_window() {
  export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
  "$@" &
  pid=$!
  trap 'kill "$pid" 2>/dev/null || true' EXIT
  window=""
  for _ in $(seq 1 150); do
    window=$(xdotool search --name "^${murmex_title}\$" 2>/dev/null | head -n 1 || true)
    [[ -n "$window" ]] && return 0
    kill -0 "$pid" 2>/dev/null || { echo "the program ended before showing its window" >&2; return 1; }
    sleep 0.1
  done
  echo "no window titled \"$murmex_title\" appeared" >&2
  return 1
}
