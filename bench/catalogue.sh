#!/usr/bin/env bash
# Builds the catalogue benchmark (Release) and prints the median time to fill the largest
# category in FX Bank Mode with every image measured. The goal is under 20 ms.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build-bench}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$BUILD_DIR" -j 2 --target catalogue_bench > /dev/null
"$BUILD_DIR/bench/catalogue/catalogue_bench" --benchmark_repetitions=15 \
    --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null |
  awk -F, '/_median"/ {
      gsub(/"/, "", $1); sub(/_median$/, "", $1)
      printf "%s: median %.2f ms (goal: under 20 ms)\n", $1, $3
    }'
