#!/usr/bin/env bash
# Flashes and verifies the shipped 41,252-byte firmware image on a line paced in real time at
# 115,200 baud (11 bits a byte at even parity) with a 16 ms bridge latency: through the
# editor's flasher over qeltx-pedal-sim's pseudo-terminal (where the latency cannot be
# lowered), through stm32flash (-w IMAGE -v) on the same kind of terminal, and through the
# editor's flasher on the in-process virtual pedal, whose latency timer the editor lowers while
# flashing as it does on a real bridge. The last line is the ratio of that run to stm32flash's.
# BUILD_DIR picks the build folder (default build/, configured as Release when it does not
# exist yet).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build}
BAUD=115200
LATENCY_MS=16
IMAGE=resources/firmware/Firmware_1

command -v stm32flash > /dev/null || { echo "stm32flash is not installed; scripts/setup.sh installs it" >&2; exit 1; }
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
    cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
fi
cmake --build "$BUILD_DIR" -j 2 --target flash_bench qeltx-pedal-sim > /dev/null
SIM="$BUILD_DIR/src/pedal_sim/qeltx-pedal-sim"
BENCH="$BUILD_DIR/bench/flash/flash_bench"
echo "build: $BUILD_DIR; image: $(wc -c < "$IMAGE") bytes; load average: $(cut -d' ' -f1-3 /proc/loadavg)"

WORK=$(mktemp -d)
PID=
stop_sim() {
    if [ -n "$PID" ]; then
        kill -TERM "$PID" 2> /dev/null || true
        wait "$PID" 2> /dev/null || true
        PID=
    fi
}
trap 'stop_sim; rm -rf "$WORK"' EXIT

# A fresh simulated pedal in its bootloader; sets PTY.
start_sim() {
    : > "$WORK/path"
    "$SIM" --bootloader --pace "$BAUD" --latency-ms "$LATENCY_MS" > "$WORK/path" &
    PID=$!
    local i=0
    while [ ! -s "$WORK/path" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
    PTY=$(head -n 1 "$WORK/path")
    [ -c "$PTY" ] || { echo "no pseudo-terminal from qeltx-pedal-sim" >&2; exit 1; }
}

seconds_of() { sed -n 's/^seconds: //p' "$1"; }

start_sim
QT_QPA_PLATFORM=offscreen "$BENCH" --port "$PTY" "$IMAGE" > "$WORK/editor_pty.log"
stop_sim
editor_pty=$(seconds_of "$WORK/editor_pty.log")

start_sim
t0=$(date +%s.%N)
stm32flash -b "$BAUD" -m 8n1 -w "$IMAGE" -v "$PTY" > "$WORK/stm32flash.log" 2>&1 || {
    cat "$WORK/stm32flash.log" >&2; exit 1; }
t1=$(date +%s.%N)
stop_sim
stm32=$(echo "$t0 $t1" | awk '{ printf "%.3f", $2 - $1 }')

QT_QPA_PLATFORM=offscreen "$BENCH" --in-process "$IMAGE" "$LATENCY_MS" > "$WORK/editor_in_process.log"
editor_lowered=$(seconds_of "$WORK/editor_in_process.log")
lowered_to=$(sed -n 's/^latency timer: \([0-9]*\) ms.*/\1/p' "$WORK/editor_in_process.log")

echo "editor's flasher, qeltx-pedal-sim pty, ${LATENCY_MS} ms latency: ${editor_pty} s"
echo "stm32flash -w -v, qeltx-pedal-sim pty, ${LATENCY_MS} ms latency: ${stm32} s"
echo "editor's flasher, in-process pedal, latency lowered from ${LATENCY_MS} to ${lowered_to:-?} ms: ${editor_lowered} s"
awk -v e="$editor_pty" -v s="$stm32" 'BEGIN { printf "ratio editor/stm32flash at the same latency: %.3f\n", e / s }'
awk -v e="$editor_lowered" -v s="$stm32" 'BEGIN { printf "ratio editor/stm32flash: %.3f\n", e / s }'
