#!/usr/bin/env bash
# Builds the impulse-response benchmark (Release) and prints the medians of loading, resampling
# and merging a 2 s, 96 kHz, 24-bit stereo WAV (goal: under 100 ms) and of drawing the Impulse
# Response window's picture of it (goal: under 50 ms).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build-bench}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$BUILD_DIR" -j 2 --target ir_bench > /dev/null
"$BUILD_DIR/bench/ir/ir_bench" --benchmark_repetitions=15 \
    --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null |
  awk -F, '/_median"/ {
      gsub(/"/, "", $1); sub(/_median$/, "", $1)
      goal = ($1 ~ /Draw/) ? 50 : 100
      printf "%s: median %.2f ms (goal: under %d ms)\n", $1, $3, goal
    }'
