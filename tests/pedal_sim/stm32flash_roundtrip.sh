#!/bin/sh
# stm32flash, a flasher nobody here wrote, programs and verifies a 41,252-byte firmware image
# through qeltx-pedal-sim's pseudo-terminal, reads it back identical, and the flash the
# simulator dumps on exit holds it. Usage: stm32flash_roundtrip.sh path/to/qeltx-pedal-sim
set -eu

SIM=$1
IMAGE_SIZE=41252
FLASH_SIZE=131072

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

# A Cortex-M image: initial stack pointer 0x20005000, reset and exception vectors inside
# the first page, then a deterministic byte pattern.
perl -e '
    my $size = shift;
    my $out = pack("V", 0x20005000);
    $out .= pack("V", 0x08000101 + 4 * $_) for 1 .. 47;
    my $i = length $out;
    while ($i < $size) { $out .= chr(($i * 131 + ($i >> 8) * 7 + 0x5A) & 0xFF); $i++; }
    print $out;
' "$IMAGE_SIZE" > "$WORK/image.bin"
[ "$(wc -c < "$WORK/image.bin")" -eq "$IMAGE_SIZE" ]

"$SIM" --bootloader --dump-flash "$WORK/flash.bin" > "$WORK/path" &
PID=$!

i=0
while [ ! -s "$WORK/path" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
PTY=$(head -n 1 "$WORK/path")
[ -c "$PTY" ] || { echo "no pseudo-terminal from qeltx-pedal-sim: '$PTY'" >&2; exit 1; }

timeout 60 stm32flash -b 115200 -m 8n1 -w "$WORK/image.bin" -v "$PTY" > "$WORK/write.log" 2>&1 || {
    cat "$WORK/write.log" >&2; exit 1; }
grep -q "Device ID    : 0x0410" "$WORK/write.log"
grep -q "Done." "$WORK/write.log"

# A second session on the same terminal, as after closing and reopening the port.
timeout 60 stm32flash -b 115200 -m 8n1 -r "$WORK/out.bin" -S "0x08000000:$IMAGE_SIZE" "$PTY" > "$WORK/read.log" 2>&1 || {
    cat "$WORK/read.log" >&2; exit 1; }
cmp "$WORK/image.bin" "$WORK/out.bin"

kill -TERM "$PID"
i=0
while kill -0 "$PID" 2>/dev/null && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
kill -0 "$PID" 2>/dev/null && { echo "qeltx-pedal-sim did not stop on SIGTERM" >&2; exit 1; }
status=0
wait "$PID" || status=$?
PID=
[ "$status" -eq 0 ] || { echo "qeltx-pedal-sim exited with $status" >&2; exit 1; }
[ "$(wc -c < "$WORK/flash.bin")" -eq "$FLASH_SIZE" ]
cmp -n "$IMAGE_SIZE" "$WORK/flash.bin" "$WORK/image.bin"

# A pedal that refuses the 5th write: stm32flash stops there and says so, and the flash
# holds the four blocks before it and nothing of the refused one.
"$SIM" --bootloader --nack-write 5 --dump-flash "$WORK/flash2.bin" > "$WORK/path2" &
PID=$!
i=0
while [ ! -s "$WORK/path2" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
PTY=$(head -n 1 "$WORK/path2")
if timeout 60 stm32flash -b 115200 -m 8n1 -w "$WORK/image.bin" -v "$PTY" > "$WORK/refused.log" 2>&1; then
    echo "stm32flash reported success although a write was refused" >&2; exit 1
fi
grep -q "Failed to write memory at address 0x08000400" "$WORK/refused.log" || { cat "$WORK/refused.log" >&2; exit 1; }
kill -TERM "$PID"
wait "$PID"
PID=
cmp -n 1024 "$WORK/flash2.bin" "$WORK/image.bin"
[ "$(od -An -v -tx1 -j 1024 -N 256 "$WORK/flash2.bin" | tr -d ' \n' | tr -d 'f')" = "" ] || {
    echo "the refused block reached the flash" >&2; exit 1; }
echo "stm32flash wrote, verified and read back $IMAGE_SIZE bytes, and stopped at a refused write"
