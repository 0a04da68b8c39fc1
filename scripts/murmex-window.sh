# Sourced by the scripts that drive the real window on an X server (the smoke test, the preview
# screenshot). start_murmex_window PROGRAM [ARGS...] starts the program, waits for its window and
# sets `pid` and `window`; the program is killed when the calling script exits.
murmex_title="FFT Noise reduction by Tarlo"

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
