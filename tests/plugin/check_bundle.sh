#!/usr/bin/env bash
# The bundle seen by the LV2 tools: check_bundle.sh validate|info|jalv LV2_DIR
# validate: lv2_validate (with sord_validate) checks the Turtle against the LV2 schemas.
# info:     lv2info lists both plugins with their ports, ranges, labels and latency port.
# jalv:     jalv runs each plugin headless on a JACK server with the dummy driver and reports
#           the latency the plugin gives.
set -euo pipefail
mode=$1
export LV2_PATH=$2
bundle=$LV2_PATH/murmex.lv2
fail() { echo "check_bundle $mode: $*" >&2; exit 1; }

case $mode in
validate)
  out=$(lv2_validate "$bundle"/*.ttl 2>&1) || fail "lv2_validate failed: $out"
  grep -q "Found 0 errors" <<<"$out" || fail "lv2_validate: $out"
  # sord_validate names the statement it objects to; warnings count as faults too.
  ! grep -Ei "^(error|warning)" <<<"$out" || fail "$out"
  ;;
info)
  for uri in urn:murmex:lv2:mono urn:murmex:lv2:stereo; do
    out=$(lv2info "$uri") || fail "lv2info does not know $uri"
    for expected in "Has latency: *yes, reported by port 8" "Symbol: *bias" "Minimum: *-20.000000" \
                    "Maximum: *1100.000000" "Default: *600.000000" '0 = "Classic"' '1 = "Adaptive"' \
                    "Name: *Capture minima" "lv2core#toggled" "lv2core#enumeration" "ext/state#interface"; do
      grep -Eq "$expected" <<<"$out" || fail "$uri: lv2info lacks '$expected'"
    done
  done
  ;;
jalv)
  export JACK_DEFAULT_SERVER=murmex-check-$$ JACK_NO_START_SERVER=1
  jackd --no-realtime -d dummy -r 48000 -p 256 >/dev/null 2>&1 &
  jackd_pid=$!
  trap 'kill $jackd_pid 2>/dev/null; wait $jackd_pid 2>/dev/null || true' EXIT
  for pair in mono:2048 stereo:1024; do
    uri=urn:murmex:lv2:${pair%%:*}
    out=
    # The server may still be starting, and the first cycles may not have run by the first
    # question: ask a few times.
    for attempt in 1 2 3 4 5; do
      out=$( (for i in 1 2 3; do sleep 0.5; echo monitors; done) | timeout 20 jalv -n "murmex-$attempt" "$uri" 2>&1 ) || true
      grep -q "latency = ${pair##*:}.000000" <<<"$out" && break
      sleep 1
    done
    grep -q "latency = ${pair##*:}.000000" <<<"$out" || fail "$uri in jalv: $out"
  done
  ;;
*) fail "unknown mode" ;;
esac
