#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs every test with CTest; builds
# the Debian package and starts what it installs; runs the exchange benchmark once as a smoke
# run (QELTX_SKIP_BENCH skips it); runs every fuzz target for a few seconds
# (QELTX_SKIP_FUZZ skips that); then, unless
# QELTX_SKIP_SANITIZERS is set, builds and runs the tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQELTX_WERROR=ON
cmake --build "$BUILD_DIR" -j "$(nproc)"
(cd "$BUILD_DIR" && ctest --output-on-failure -j "$(nproc)" --timeout 600)
# The screenshots script as a person runs it (CTest runs its program too): it must end with 0.
QELTX_BUILD_DIR="$(cd "$BUILD_DIR" && pwd)" scripts/screenshots.sh "$BUILD_DIR/screenshots"

# The Debian package, unpacked and started as a user would (QELTX_SKIP_PACKAGE skips it).
if [[ -z "${QELTX_SKIP_PACKAGE:-}" ]]; then
  deb=$(BUILD_DIR="$BUILD_DIR" scripts/package.sh | tail -n 1)
  tests/packaging/package_test.sh "$deb"
fi

# The editor's conversations on the paced simulator, one run of each (bench/exchanges.sh runs
# five and is where its goals are read): that the benchmark and what it drives still work.
if [[ -z "${QELTX_SKIP_BENCH:-}" ]]; then
  BUILD_DIR="$BUILD_DIR" bench/exchanges.sh --smoke
fi

# Every fuzz target for a few seconds from its seed corpus (a smoke run; scripts/fuzz.sh runs longer).
if [[ -z "${QELTX_SKIP_FUZZ:-}" ]]; then
  scripts/fuzz.sh "${QELTX_FUZZ_SECONDS:-4}"
fi

if [[ -z "${QELTX_SKIP_SANITIZERS:-}" ]]; then
  SAN_DIR=${SAN_BUILD_DIR:-build-sanitizers}
  cmake -S . -B "$SAN_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQELTX_WERROR=ON -DQELTX_SANITIZE=ON \
        -DQELTX_BUILD_BENCH=OFF
  cmake --build "$SAN_DIR" -j "$(nproc)"
  (cd "$SAN_DIR" && ctest --output-on-failure -j "$(nproc)" --timeout 900)
fi
