#!/usr/bin/env bash
# Builds the impulse-response benchmark (Release) and prints the medians of loading, resampling
# and merging a 2 s, 96 kHz, 24-bit stereo WAV (goal: under 100 ms) and of drawing the Impulse
# Response window's picture of it (goal: under 50 ms); then the same for a ten-minute 96 kHz
# file made with sox in a temporary folder (goals: loading under 1 s, a paint under 50 ms, a new
# layout at another size or fade under 50 ms; the whole layout, made once per file at its first
# paint, is shown beside them). The long file
# is FLAC, a half-second burst and then quiet: as a WAV it would pass the 64 MiB Load IR takes.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build-bench}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$BUILD_DIR" -j 2 --target ir_bench > /dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
long="$work/long96k10min.flac"
sox -n -r 96000 -b 24 -c 1 "$long" synth 0.5 pinknoise fade 0 0.5 0.45 pad 0 599.5
"$BUILD_DIR/bench/ir/ir_bench" --benchmark_repetitions=${REPETITIONS:-7} \
    --benchmark_report_aggregates_only=true --benchmark_format=csv "$long" 2>/dev/null |
  awk -F, '/_median"/ {
      gsub(/"/, "", $1); sub(/_median$/, "", $1)
      goal = ($1 ~ /Draw/ || $1 ~ /Relayout/) ? "under 50 ms" : ($1 ~ /10min/ && $1 ~ /Load/) ? "under 1000 ms" : ($1 ~ /Layout/) ? "none: once per file" : "under 100 ms"
      printf "%s: median %.2f ms (goal: %s)\n", $1, $3, goal
    }'
