#!/usr/bin/env bash
# Installs what is missing, builds, and starts the editor linked to the virtual pedal.
# Without a display it runs under Xvfb, saves a screenshot of the main window to
# build/screenshot.png, prints that path and exits.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" --target qeltx-editor

if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  exec "$BUILD_DIR/src/app/qeltx-editor" --virtual-pedal "$@"
fi

shot="$PWD/$BUILD_DIR/screenshot.png"
rm -f "$shot"
xvfb-run -a -s "-screen 0 1600x1000x24" \
  "$BUILD_DIR/src/app/qeltx-editor" --virtual-pedal --screenshot "$shot" "$@"
if [[ ! -s "$shot" ]]; then
  echo "the editor did not write its screenshot" >&2
  exit 1
fi
echo "$shot"
