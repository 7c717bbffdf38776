#!/bin/sh
# The editor's flasher writes the shipped firmware image and its marker through
# qeltx-pedal-sim's pseudo-terminal (the serial backend, even parity on a real port), and
# stm32flash, a flasher nobody here wrote, reads the same bytes back; the flash the simulator
# dumps on exit holds them too.
# Usage: editor_flash_stm32flash_readback.sh path/to/qeltx-pedal-sim path/to/flash_on_port IMAGE
set -eu

SIM=$1
FLASHER=$2
IMAGE=$3
IMAGE_SIZE=$(wc -c < "$IMAGE")
MARKER_OFFSET=130048   # 0x0801FC00 - 0x08000000

if ! command -v stm32flash >/dev/null 2>&1; then
    echo "stm32flash is not installed; scripts/setup.sh installs it" >&2
    exit 77
fi

WORK=$(mktemp -d)
PID=
cleanup() {
    [ -n "$PID" ] && kill -KILL "$PID" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

"$SIM" --bootloader --dump-flash "$WORK/flash.bin" > "$WORK/path" &
PID=$!
i=0
while [ ! -s "$WORK/path" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
PTY=$(head -n 1 "$WORK/path")
[ -c "$PTY" ] || { echo "no pseudo-terminal from qeltx-pedal-sim: '$PTY'" >&2; exit 1; }

QT_QPA_PLATFORM=offscreen timeout 120 "$FLASHER" "$PTY" "$IMAGE" > "$WORK/editor.log" 2>&1 || {
    tail -n 30 "$WORK/editor.log" >&2; exit 1; }
grep -q "flashed and verified $IMAGE_SIZE bytes" "$WORK/editor.log"

# stm32flash synchronises afresh on the same terminal and reads the image and the marker.
timeout 60 stm32flash -b 115200 -m 8n1 -r "$WORK/image.out" -S "0x08000000:$IMAGE_SIZE" "$PTY" > "$WORK/read.log" 2>&1 || {
    cat "$WORK/read.log" >&2; exit 1; }
cmp "$IMAGE" "$WORK/image.out"
timeout 60 stm32flash -b 115200 -m 8n1 -r "$WORK/marker.out" -S "0x0801FC00:8" "$PTY" > "$WORK/marker.log" 2>&1 || {
    cat "$WORK/marker.log" >&2; exit 1; }
printf '\000\000\000\000\000\000\000\001' > "$WORK/marker.expected"
cmp "$WORK/marker.expected" "$WORK/marker.out"

kill -TERM "$PID"
status=0
wait "$PID" || status=$?
PID=
[ "$status" -eq 0 ] || { echo "qeltx-pedal-sim exited with $status" >&2; exit 1; }
cmp -n "$IMAGE_SIZE" "$WORK/flash.bin" "$IMAGE"
cmp -i "$MARKER_OFFSET:0" -n 8 "$WORK/flash.bin" "$WORK/marker.expected"
echo "stm32flash read back the $IMAGE_SIZE bytes and the marker the editor's flasher wrote"
