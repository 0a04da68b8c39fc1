#!/usr/bin/env bash
# Draws the before/after spectrograms of the demo sample shown at the top of the README: the noisy
# sample and what each method makes of it. The cleaned files come from `make demo`; run that first.
# Usage: docs/make_spectrograms.sh [BUILD]   (default BUILD: build)
set -euo pipefail

docs=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$docs")
build=${1:-build}
case $build in /*) ;; *) build=$root/$build ;; esac
demo=$build/demo

declare -A sources=(
  [noisy]=$root/data/demo-noisy.wav
  [classic]=$demo/demo-classic.wav
  [adaptive]=$demo/demo-adaptive.wav
)
declare -A titles=(
  [noisy]="Before: the demo sample with hiss and 50 Hz hum"
  [classic]="After: classic method, reduction level 1100"
  [adaptive]="After: adaptive method, default settings"
)

for name in noisy classic adaptive; do
  if [[ ! -f ${sources[$name]} ]]; then
    echo "make_spectrograms.sh: ${sources[$name]}: missing; run 'make demo BUILD=${1:-build}' first" >&2
    exit 1
  fi
done

# One size and one colour scale (-z dynamic range, fixed top) for all three, so the pictures compare.
for name in noisy classic adaptive; do
  out=$docs/spectrogram-$name.png
  sox "${sources[$name]}" -n spectrogram -x 720 -y 180 -z 60 -Z -20 -t "${titles[$name]}" -c "murmex" -o "$out"
  echo "wrote $out"
done
