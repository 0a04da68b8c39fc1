#!/usr/bin/env bash
# Started without a display, or with one that cannot be reached, the program says so, points to
# what works without one and exits with status 1, instead of Qt's advice to reinstall.
# Usage: no_display_test.sh PROGRAM
set -uo pipefail
fail=0
for display in unset :4095; do  # no display named; a display number no server listens on
  if [[ $display == unset ]]; then settings=(-u DISPLAY); else settings=(DISPLAY=$display); fi
  output=$(env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "${settings[@]}" "$1" 2>&1 </dev/null)
  status=$?
  if [[ $status -ne 1 || $output != *"no display found"*"murmex-cli"*"make demo"* || $output == *Reinstalling* ]]; then
    echo "no-display (DISPLAY $display): exit status $status, output: $output" >&2
    fail=1
  fi
done
exit $fail
