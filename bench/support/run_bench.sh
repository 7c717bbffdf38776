# Sourced by the editor benchmark scripts: builds one benchmark target when needed and runs
# it headless. BUILD_DIR picks the build folder (default build/; configured as Release when
# it does not exist yet). The program's last line is its figure.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build}

run_editor_bench() {
    local target=$1 folder=$2
    shift 2
    local out
    if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
        out=$(cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release 2>&1) || { echo "$out" >&2; exit 1; }
    fi
    out=$(cmake --build "$BUILD_DIR" -j 2 --target "$target" 2>&1) || { echo "$out" >&2; exit 1; }
    local type
    type=$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$BUILD_DIR/CMakeCache.txt")
    echo "build: $BUILD_DIR (${type:-no build type}); load average: $(cut -d' ' -f1-3 /proc/loadavg)"
    QT_QPA_PLATFORM=offscreen "$BUILD_DIR/bench/$folder/$target" "$@" 2>/dev/null
}
