#!/usr/bin/env bash
# Builds the virtual pedal benchmark (Release) and prints how long a stored-effect query and
# a 16,385-byte EEPROM dump take on a wire paced at 115,200 baud with 16 ms USB latency.
# Expected: about 16.3 ms (3 bytes of 86.8 us, then the latency holding the packet) and
# about 1.44 s (16,391 bytes of 86.8 us).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build-bench}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$BUILD_DIR" -j 2 --target pedal_sim_bench > /dev/null
"$BUILD_DIR/bench/pedal_sim/pedal_sim_bench" --benchmark_format=csv 2>/dev/null |
  awk -F, '/^"(StoredEffectQuery|EepromDump)/ {
      gsub(/"/, "", $1); sub(/\/.*/, "", $1)
      printf "%s: %.1f ms on the paced wire\n", $1, $3
    }'
