#!/usr/bin/env bash
# Started without a display, or with one that cannot be reached, the program says so, points to
# what works without one and exits with status 1, instead of Qt's advice to reinstall.
# Usage: no_display_test.sh PROGRAM
set -uo pipefail
program=$1
fail=0
check() {
  local what=$1 output status
  shift
  output=$(env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" "$program" 2>&1 </dev/null)
  status=$?
  if [[ $status -ne 1 ]]; then
    echo "no-display ($what): exit status $status, expected 1" >&2
    fail=1
  fi
  for expected in "no display found" "murmex-cli" "make demo"; do
    if [[ "$output" != *"$expected"* ]]; then
      echo "no-display ($what): \"$expected\" missing from: $output" >&2
      fail=1
    fi
  done
  if [[ "$output" == *"Reinstalling"* ]]; then
    echo "no-display ($what): Qt's reinstall advice is still printed: $output" >&2
    fail=1
  fi
}
check "unset" -u DISPLAY
# A display number no server listens on.
check "unreachable" DISPLAY=:4095
exit $fail
