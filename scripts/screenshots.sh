#!/usr/bin/env bash
# Screenshots of the main window, the parameter panel of a 16-control algorithm and the debug
# console in every look, on a real X server: scripts/screenshots.sh DIR writes
# DIR/main-lookN.png, DIR/panel-lookN.png and DIR/console-lookN.png, and the firmware upgrade
# window in the middle of writing, DIR/upgrade-writing-look0.png. The editor keeps its files in a
# temporary documents folder, never the player's; scripts/test.sh runs this.
set -euo pipefail
if [[ $# -ne 1 ]]; then echo "usage: $0 DIR" >&2; exit 2; fi
here="$(cd "$(dirname "$0")/.." && pwd)"
out="$(mkdir -p "$1" && cd "$1" && pwd)"
build="${QELTX_BUILD_DIR:-$here/build}"
"$here/scripts/setup.sh"
if [[ ! -f "$build/CMakeCache.txt" ]]; then cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null; fi
cmake --build "$build" -j2 --target screenshot_windows >/dev/null
QT_QPA_PLATFORM=xcb "$here/tests/app/x11/run_under_x.sh" "$build/tests/app/screenshot_windows" "$out"
