#!/usr/bin/env bash
# Builds the Debian package (the editor, qeltx-cli, qeltx-pedal-sim, the udev rule, the desktop
# entry, AppStream metadata and the icon) in the build folder scripts/test.sh uses, and prints
# the .deb's path as its last line. Install it with: sudo apt install ./qeltx-editor_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQELTX_WERROR=ON >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" --target qeltx-editor qeltx-cli qeltx-pedal-sim
# cpack writes every file of the package as root's, whoever builds it.
(cd "$BUILD_DIR" && cpack -G DEB >cpack.log) || { cat "$BUILD_DIR/cpack.log"; exit 1; }
deb=$(ls -t "$BUILD_DIR"/qeltx-editor_*.deb | head -n 1)
echo "$(cd "$(dirname "$deb")" && pwd)/$(basename "$deb")"
