#!/usr/bin/env bash
# Flashes and verifies the shipped 41,252-byte firmware image through qeltx-pedal-sim's
# pseudo-terminal, paced in real time at 115,200 baud (11 bits a byte at even parity) with the
# bridge's latency timer modelled: the editor's flasher (bench/flash/flash_bench) against
# stm32flash -w IMAGE -v, each on a fresh simulated pedal, same terminal, same latency.
# Both do the same work, exchange for exchange: synchronise, Get Version, Get, Get ID, erase,
# then write every 256-byte block and read it back (the editor writes all, then reads all;
# stm32flash reads each back after writing it); neither writes the firmware marker or Go.
# The one difference on the wire: the editor erases with the 2-byte global erase, stm32flash
# names the image's 1 KiB pages, one byte each.
#
# Rounds: at the bridge's default 16 ms and at 1 ms, each run REPEAT times (default 5),
# interleaved; medians are printed. A pseudo-terminal has no latency timer for the editor to
# lower, so "the editor as a user runs it" is measured on the terminal at the timer the editor
# sets on a real bridge; which timer that is, the editor itself says in an in-process run on the
# virtual pedal, whose driver honours the editor's request.
# The editor's time runs from its open port to the end of the job (it flashes a pedal it has
# linked with); stm32flash's from its start to its exit (its start and open take milliseconds).
# The wire bound is every byte the editor's job puts on the line either way (writes, command
# frames, acknowledges and the verify read), 11 bits each at 115,200 baud.
# Placement (bench/support/paced_pty.sh): with two processors or more, every round pins the
# simulator to processor 1 and the program under test to processor 0, the same for both
# programs (left to the scheduler, a virtual machine adds some 25 µs a round trip, 25 ms over
# a flash, when both land on one processor).
# The last line is the ratio of the editor to stm32flash at the same latency (16 ms).
# BUILD_DIR picks the build folder (default build/, configured as Release when it does not
# exist yet).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build}
REPEAT=${REPEAT:-5}
BITS_PER_BYTE=11
DEFAULT_LATENCY_MS=16
LOW_LATENCY_MS=1
IMAGE=resources/firmware/Firmware_1

command -v stm32flash > /dev/null || { echo "stm32flash is not installed; scripts/setup.sh installs it" >&2; exit 1; }
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
    cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
fi
cmake --build "$BUILD_DIR" -j 2 --target flash_bench qeltx-pedal-sim > /dev/null
SIM="$BUILD_DIR/src/pedal_sim/qeltx-pedal-sim"
source bench/support/paced_pty.sh
BENCH="$BUILD_DIR/bench/flash/flash_bench"
IMAGE_BYTES=$(wc -c < "$IMAGE")
PAGES=$(( (IMAGE_BYTES + 1023) / 1024 ))
echo "build: $BUILD_DIR; image: $IMAGE_BYTES bytes; runs of each: $REPEAT; load average: $(cut -d' ' -f1-3 /proc/loadavg); placement: ${PIN_SIM[*]:-none} for the simulator, ${PIN_TOOL[*]:-none} for the program under test"
echo "same work for both: synchronise, Get Version, Get, Get ID, erase, write and read back $(( (IMAGE_BYTES + 255) / 256 )) blocks; no marker, no Go (stm32flash's erase names $PAGES pages: $PAGES bytes more on the wire, $(awk -v n="$PAGES" -v bits="$BITS_PER_BYTE" -v baud="$BAUD" 'BEGIN { printf "%.1f", n * bits / baud * 1000 }') ms)"

# The editor's flasher at latency $1: appends its seconds to editor_$1, its wire bytes to wire.
run_editor() {
    start_sim "$1" --bootloader
    QT_QPA_PLATFORM=offscreen "${PIN_TOOL[@]}" "$BENCH" --port "$PTY" "$IMAGE" > "$WORK/editor.log"
    stop_sim
    sed -n 's/^seconds: //p' "$WORK/editor.log" >> "$WORK/editor_$1"
    sed -n 's/^wire bytes: //p' "$WORK/editor.log" >> "$WORK/wire"
}

# stm32flash at latency $1: appends its seconds to stm32_$1.
run_stm32flash() {
    local t0 t1
    start_sim "$1" --bootloader
    t0=$(date +%s.%N)
    if ! "${PIN_TOOL[@]}" stm32flash -b "$BAUD" -m 8n1 -w "$IMAGE" -v "$PTY" > "$WORK/stm32flash.log" 2>&1; then
        stop_sim
        echo "stm32flash at $1 ms failed: $(tr '\r' '\n' < "$WORK/stm32flash.log" | grep -v '^ *$' | tail -n 1)" >&2
        exit 1
    fi
    t1=$(date +%s.%N)
    stop_sim
    echo "$t0 $t1" | awk '{ printf "%.3f\n", $2 - $1 }' >> "$WORK/stm32_$1"
}

# Which timer the editor sets on a bridge that has one.
QT_QPA_PLATFORM=offscreen "$BENCH" --in-process "$IMAGE" "$DEFAULT_LATENCY_MS" > "$WORK/in_process.log"
user_latency=$(sed -n 's/^latency timer: \([0-9]*\) ms.*/\1/p' "$WORK/in_process.log")
[ -n "$user_latency" ] || { echo "the editor did not lower the virtual pedal's latency timer" >&2; exit 1; }
in_process=$(sed -n 's/^seconds: //p' "$WORK/in_process.log")

for _ in $(seq "$REPEAT"); do
    for latency in "$DEFAULT_LATENCY_MS" "$LOW_LATENCY_MS"; do
        run_editor "$latency"
        run_stm32flash "$latency"
    done
    if [ "$user_latency" != "$LOW_LATENCY_MS" ] && [ "$user_latency" != "$DEFAULT_LATENCY_MS" ]; then
        run_editor "$user_latency"
    fi
done

editor_default=$(median "$WORK/editor_$DEFAULT_LATENCY_MS")
stm32_default=$(median "$WORK/stm32_$DEFAULT_LATENCY_MS")
editor_low=$(median "$WORK/editor_$LOW_LATENCY_MS")
stm32_low=$(median "$WORK/stm32_$LOW_LATENCY_MS")
editor_user=$(median "$WORK/editor_$user_latency")
wire_bytes=$(sort -u "$WORK/wire" | head -n 1)
[ "$(sort -u "$WORK/wire" | wc -l)" = 1 ] || echo "note: the editor's runs moved different byte counts: $(sort -u "$WORK/wire" | tr '\n' ' ')"
wire_bound=$(awk -v n="$wire_bytes" -v bits="$BITS_PER_BYTE" -v baud="$BAUD" 'BEGIN { printf "%.3f", n * bits / baud }')

echo "editor's flasher, pty, ${DEFAULT_LATENCY_MS} ms latency: ${editor_default} s (runs: $(tr '\n' ' ' < "$WORK/editor_$DEFAULT_LATENCY_MS"))"
echo "stm32flash -w -v, pty, ${DEFAULT_LATENCY_MS} ms latency: ${stm32_default} s (runs: $(tr '\n' ' ' < "$WORK/stm32_$DEFAULT_LATENCY_MS"))"
echo "editor's flasher, pty, ${LOW_LATENCY_MS} ms latency: ${editor_low} s (runs: $(tr '\n' ' ' < "$WORK/editor_$LOW_LATENCY_MS"))"
echo "stm32flash -w -v, pty, ${LOW_LATENCY_MS} ms latency: ${stm32_low} s (runs: $(tr '\n' ' ' < "$WORK/stm32_$LOW_LATENCY_MS"))"
echo "wire bound: ${wire_bytes} bytes x ${BITS_PER_BYTE} bits at ${BAUD} baud: ${wire_bound} s"
echo "editor's flasher at ${LOW_LATENCY_MS} ms / wire bound: $(ratio "$editor_low" "$wire_bound")"
echo "the editor lowers the timer from ${DEFAULT_LATENCY_MS} to ${user_latency} ms (in-process virtual pedal, one run: ${in_process} s)"
echo "ratio editor as a user runs it (pty at ${user_latency} ms)/stm32flash at ${DEFAULT_LATENCY_MS} ms: $(ratio "$editor_user" "$stm32_default")"
echo "ratio editor/stm32flash at ${LOW_LATENCY_MS} ms: $(ratio "$editor_low" "$stm32_low")"
echo "ratio editor/stm32flash at the same latency: $(ratio "$editor_default" "$stm32_default")"
