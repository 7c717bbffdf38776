#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each for a fixed time, starting from its seed corpus in tests/fuzz/corpus. Fails on
# the first sanitizer report or broken check, and leaves the input that caused it in the run's
# folder. Inputs the fuzzer finds are kept there too, not in the committed corpus.
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]     (default 60 s, every target)
# FUZZ_BUILD_DIR (default build-fuzz) and FUZZ_WORK_DIR (default $FUZZ_BUILD_DIR/runs) set where.
set -euo pipefail
cd "$(dirname "$0")/.."

SECONDS_PER_TARGET=${1:-60}
shift || true
BUILD_DIR=${FUZZ_BUILD_DIR:-build-fuzz}
WORK_DIR=${FUZZ_WORK_DIR:-$BUILD_DIR/runs}

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQELTX_WERROR=ON \
    -DQELTX_FUZZ=ON -DQELTX_BUILD_TESTS=OFF -DQELTX_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" --target qeltx_fuzz

targets=("$@")
if ((${#targets[@]} == 0)); then
  for dir in tests/fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=()
for target in "${targets[@]}"; do
  runs="$WORK_DIR/$target"
  rm -rf "$runs" && mkdir -p "$runs/found"
  # New inputs go to found/ (the first folder); the seed corpus is only read.
  if "$BUILD_DIR/tests/fuzz/$target" -max_total_time="$SECONDS_PER_TARGET" -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$runs/" "$runs/found" "tests/fuzz/corpus/$target" \
       >"$runs/log" 2>&1; then
    echo "$target: clean, $(grep -o 'stat::number_of_executed_units: *[0-9]*' "$runs/log" | grep -o '[0-9]*$') inputs in ${SECONDS_PER_TARGET} s"
  else
    echo "$target: FAILED (log and input in $runs)"
    grep -E -m 5 'ERROR|runtime error|SUMMARY|deadly signal' "$runs/log" || tail -20 "$runs/log"
    failed+=("$target")
  fi
done
if ((${#failed[@]})); then
  echo "fuzz targets that failed: ${failed[*]}"
  exit 1
fi
