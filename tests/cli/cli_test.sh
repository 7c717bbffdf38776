#!/bin/sh
# qeltx-cli's commands, exit status and messages, one group of cases per CTest test:
#   cli_test.sh GROUP QELTX_CLI QELTX_PEDAL_SIM SOX CATALOGUE_DIR
# GROUP is virtual, pty, flash, bootbutton, failures, usage, files, backup, report, preset or diff.
set -u
GROUP=$1 CLI=$2 SIM=$3 SOX=$4 CATALOGUE=$5
WORK=$(mktemp -d)
SIM_PID=
FAILED=0

cleanup() {
    [ -n "$SIM_PID" ] && kill "$SIM_PID" 2>/dev/null && wait "$SIM_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    echo "  stdout:"; sed 's/^/    /' "$WORK/out" | head -20
    echo "  stderr:"; sed 's/^/    /' "$WORK/err" | head -20
    FAILED=1
}

# cli EXPECTED_STATUS ARGS...: runs qeltx-cli (never longer than 60 s) and checks its status.
cli() {
    expected=$1
    shift
    LAST="qeltx-cli $*"
    timeout 60 "$CLI" "$@" >"$WORK/out" 2>"$WORK/err"
    status=$?
    [ "$status" -eq "$expected" ] || fail "$LAST: exit status $status, expected $expected"
}

# Fixed strings the last run's stdout or stderr must hold.
out_has() { grep -qF -- "$1" "$WORK/out" || fail "$LAST: stdout lacks '$1'"; }
err_has() { grep -qF -- "$1" "$WORK/err" || fail "$LAST: stderr lacks '$1'"; }
out_has_not() { ! grep -qF -- "$1" "$WORK/out" || fail "$LAST: stdout holds '$1'"; }
# A failure is one line on stderr.
one_error_line() {
    [ "$(wc -l <"$WORK/err")" -eq 1 ] || fail "$LAST: expected one line on stderr"
    err_has "qeltx-cli: $1"
}

# The same after flash's progress lines.
last_error_line() { tail -n 1 "$WORK/err" | grep -qF -- "qeltx-cli: $1" || fail "$LAST: last stderr line is not '$1'"; }

# Starts qeltx-pedal-sim with ARGS; PTY is the terminal it serves.
start_sim() {
    "$SIM" "$@" >"$WORK/sim.out" 2>"$WORK/sim.err" &
    SIM_PID=$!
    for _ in $(seq 50); do
        PTY=$(head -n 1 "$WORK/sim.out" 2>/dev/null)
        [ -n "$PTY" ] && return 0
        sleep 0.1
    done
    echo "FAIL: qeltx-pedal-sim gave no terminal path"
    exit 1
}

stop_sim() {
    kill "$SIM_PID"
    wait "$SIM_PID" 2>/dev/null
    SIM_PID=
}

wav24() {
    command -v "$SOX" >/dev/null || { echo "FAIL: $SOX is not installed (scripts/setup.sh installs it)"; exit 1; }
    "$SOX" -n -r 48000 -b 24 -c 1 "$1" synth 0.005 sine 1000
}

# Octa X Fuzz on the simulator with three controls moved (pot 0 to 111, the switch off, the
# multi-switch on High), saved as $WORK/octa.txt.
octa_preset() {
    cli 0 --port "$PTY" upload "Octa X Fuzz"
    cli 0 --port "$PTY" set 0 111
    cli 0 --port "$PTY" set 4 off
    cli 0 --port "$PTY" set 5 High
    cli 0 --port "$PTY" preset save "$WORK/octa.txt"
}

# The commands every device test runs; $@ is the device choice.
device_commands() {
    cli 0 "$@" query
    out_has "algorithm: 1 Amber Drive"
    out_has "Firmware Version: 1"

    cli 0 "$@" set 1 300
    out_has "1 Tone = 300 (sent 01"
    cli 2 "$@" set 1 1024
    one_error_line "control 1 (Tone) is a pot and takes 0..1023, not '1024'"
    cli 2 "$@" set 3 0
    one_error_line "Amber Drive has 3 controls (0..2); there is no control 3"

    cli 0 "$@" --json request
    out_has '"name": "Amber Drive"'
    out_has '"midiChannel": "OMNI"'
    out_has '"mode": "preset"'

    cli 0 "$@" upload "amber drive" --bank 1
    out_has "Upload complete: Amber Drive (2304 bytes, bank 1)"

    wav24 "$WORK/ir.wav"
    cli 0 "$@" --json upload "Basic IR Loader" --ir "$WORK/ir.wav"
    out_has '"confirmed": true'
    out_has '"bytes": 5888'

    cli 0 "$@" eeprom erase 51
    out_has "erase command sent to EEPROM 51"
    cli 0 "$@" eeprom read 50 -o "$WORK/e2p.bin"
    out_has "16384 bytes written to $WORK/e2p.bin"
    [ "$(wc -c <"$WORK/e2p.bin")" -eq 16384 ] || fail "eeprom read -o: the file is not 16384 bytes"
}

case "$GROUP" in
virtual)
    cli 0 --virtual-pedal list
    out_has "QXVIRTUAL1  Qelt X Virtual Pedal  (virtual)"
    device_commands --virtual-pedal
    # Every run starts a fresh virtual pedal: an erased EEPROM reads as erased in that same run only.
    cli 0 --virtual-pedal --verbose eeprom read 51
    out_has "Memory Erased"
    err_has "0C51000000"
    ;;
pty)
    start_sim
    cli 0 --port "$PTY" list
    out_has "$PTY  $PTY  (serial)"
    device_commands --port "$PTY"
    # One pedal across runs: what one run did, the next one sees.
    cli 0 --port "$PTY" query
    out_has "algorithm: 32 Basic IR Loader"
    cli 0 --port "$PTY" eeprom read 51
    out_has "Memory Erased"
    out_has "3FF0: FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF"
    cli 0 --port "$PTY" upload "Amber Drive"
    cli 2 --port "$PTY" set 2 off
    one_error_line "control 2 (Level) is a pot and takes 0..1023, not 'off'"
    cli 0 --port "$PTY" set 0 1023
    cli 0 --port "$PTY" set 1 300
    cli 0 --port "$PTY" request
    out_has "0 Drive [pot]: 1023, assigned --, reverse off"
    out_has "1 Tone [pot]: 300"
    stop_sim
    ;;
flash)
    FIRMWARE="$CATALOGUE/../firmware/Firmware_1"
    SIZE=$(wc -c <"$FIRMWARE")
    # The virtual pedal is restarted into its bootloader (B2 held for it), flashed and started.
    cli 0 --virtual-pedal flash
    out_has "Firmware Upgrade Complete, device will now restart"
    err_has "writing: done"
    err_has "verifying: done"
    cli 0 --virtual-pedal --json flash --no-verify
    out_has '"verified": false'
    out_has '"chunks": 162'
    # qeltx-pedal-sim started in its bootloader: the flash it ends with is the image and the marker.
    start_sim --bootloader --dump-flash "$WORK/flash.bin"
    cli 0 --port "$PTY" flash --in-bootloader
    cli 0 --port "$PTY" query
    out_has "Firmware Version:"
    stop_sim
    cmp -s -n "$SIZE" "$WORK/flash.bin" "$FIRMWARE" || fail "flash: the pedal's flash does not hold the firmware"
    [ "$(od -An -tx1 -j 130048 -N 8 "$WORK/flash.bin" | tr -d ' ')" = "0000000000000001" ] ||
        fail "flash: no firmware marker at 0x0801FC00"
    # A firmware file of 257 bytes: two chunks, no marker for a name without a number.
    head -c 257 "$FIRMWARE" >"$WORK/small.bin"
    start_sim --bootloader --dump-flash "$WORK/flash2.bin"
    cli 0 --port "$PTY" --json flash --in-bootloader --firmware "$WORK/small.bin"
    out_has '"chunks": 2'
    stop_sim
    cmp -s -n 257 "$WORK/flash2.bin" "$WORK/small.bin" || fail "flash --firmware: the pedal's flash does not hold the file"
    # Failures: a bootloader that refuses a write, a pedal that never enters it, a bad file.
    start_sim --bootloader --nack-write 3
    cli 1 --port "$PTY" flash --in-bootloader
    last_error_line "Firmware upgrade failed: Write Memory, chunk 3 of 162"
    stop_sim
    start_sim
    cli 1 --port "$PTY" flash
    one_error_line "Connection to bootloader failed"
    stop_sim
    printf ':10000000FFFFFFFF\n' >"$WORK/bad.hex"
    cli 1 --port "$WORK/no-such-port" flash --firmware "$WORK/bad.hex"
    one_error_line "bad.hex:"
    # A HEX file for 0x08004000 would never start: refused before the port is even opened, and
    # a pedal in its bootloader keeps the flash it had.
    printf ':020000040800F2\n:04400000DEADBEEF84\n:00000001FF\n' >"$WORK/high.hex"
    cli 1 --port "$WORK/no-such-port" flash --firmware "$WORK/high.hex"
    one_error_line "firmware refused, nothing was erased: the firmware image starts at 0x08004000, not at the flash base 0x08000000"
    start_sim --bootloader --dump-flash "$WORK/flash-before.bin"
    stop_sim
    start_sim --bootloader --dump-flash "$WORK/flash3.bin"
    cli 1 --port "$PTY" flash --in-bootloader --firmware "$WORK/high.hex"
    stop_sim
    cmp -s "$WORK/flash3.bin" "$WORK/flash-before.bin" || fail "flash of a file above the flash base changed the flash"
    ;;
bootbutton)
    # qeltx-pedal-sim's help says how its bootloader is reached, and each way works.
    "$SIM" --help >"$WORK/out" 2>"$WORK/err" || fail "qeltx-pedal-sim --help: exit status $?"
    LAST="qeltx-pedal-sim --help"
    out_has "B2 (SAVE)"
    out_has "kill -USR1 PID"
    out_has "kill -HUP PID"
    out_has "--hold-b2"
    # B2 held from the start: the restart command of a flash reaches the bootloader.
    start_sim --hold-b2
    cli 0 --port "$PTY" flash --no-verify
    out_has "Firmware Upgrade Complete, device will now restart"
    stop_sim
    # B2 pressed by signal, the pedal switched off and on: it answers as its bootloader only.
    # (One signal at a time: pending signals are taken lowest number first, SIGHUP before SIGUSR1.)
    start_sim
    sim_says() { for _ in $(seq 50); do grep -q "$1" "$WORK/sim.err" && return 0; sleep 0.1; done; fail "qeltx-pedal-sim did not say '$1'"; }
    kill -USR1 "$SIM_PID"
    sim_says "B2 (SAVE) held"
    kill -HUP "$SIM_PID"
    sim_says "now running its bootloader"
    cli 0 --port "$PTY" flash --in-bootloader --no-verify
    # Released and switched on again: the firmware (the one just written) answers.
    kill -USR2 "$SIM_PID"
    sim_says "B2 (SAVE) released"
    kill -HUP "$SIM_PID"
    sim_says "now running its firmware"
    cli 0 --port "$PTY" query
    out_has "Firmware Version: 1"
    stop_sim
    ;;
failures)
    # No device.
    cli 1 --port "$WORK/no-such-port" query
    one_error_line "cannot open $WORK/no-such-port: no such port"
    cli 1 --serial NO-SUCH-SERIAL request
    one_error_line "cannot open NO-SUCH-SERIAL: no device with that serial number is listed"
    cli 0 list
    if grep -qF "No device found" "$WORK/out"; then
        cli 1 query
        one_error_line "No device found"
    fi
    # A silent pedal: every wait ends at its time limit with one line saying so.
    start_sim --silent
    cli 1 --port "$PTY" query
    one_error_line "the pedal did not answer the stored-effect query in time"
    cli 1 --port "$PTY" set 0 1
    one_error_line "the pedal did not answer the stored-effect query in time"
    cli 1 --port "$PTY" upload "Amber Drive"
    one_error_line "the pedal did not confirm the upload of Amber Drive (no \"Upload complete\" within 10 s)"
    stop_sim
    # A pedal that answers noise.
    start_sim --garbage
    cli 1 --port "$PTY" query
    one_error_line "the pedal's answer to the stored-effect query was not understood"
    cli 1 --port "$PTY" eeprom read 50
    one_error_line "the pedal's answer held no EEPROM dump"
    stop_sim
    # A pedal that holds no algorithm: query says so, request and set cannot go on.
    start_sim --stored 0
    cli 0 --port "$PTY" --json query
    out_has '"stored": false'
    cli 1 --port "$PTY" request
    one_error_line "No effect found on pedal"
    stop_sim
    # The virtual pedal's bridge fails every write, or takes all but the last byte of each:
    # every command that sends fails with one line naming what was not written and why.
    for fault in write-fails short-writes; do
        if [ "$fault" = write-fails ]; then why="the write failed"; else why="bytes were written"; fi
        export QELTX_VIRTUAL_PEDAL_FAULT=$fault
        while IFS='|' read -r args what; do
            eval "cli 1 --virtual-pedal $args"
            one_error_line "$what could not be written to the pedal: "
            err_has "$why"
            out_has_not "sent"
        done <<'CASES'
query|the stored-effect query
request|the stored-effect query
set 0 1|the stored-effect query
upload "Amber Drive"|the bypass command
eeprom read 50|the read command
eeprom erase 50|the erase command
flash|the upgrade-mode command
CASES
        unset QELTX_VIRTUAL_PEDAL_FAULT
    done
    # A bad impulse-response file is refused before the pedal is touched.
    echo "not audio" >"$WORK/bad.wav"
    cli 1 --port "$WORK/no-such-port" upload "Basic IR Loader" --ir "$WORK/bad.wav"
    one_error_line "bad.wav: this is not an audio file"
    ;;
usage)
    cli 0 --help
    out_has "usage: qeltx-cli"
    cli 0 --version
    out_has "qeltx-cli $(sed -n 's/^project(QeltXEditor VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")"
    for command in list query upload request set backup restore flash "eeprom read" "eeprom erase" ir-merge "catalogue check" "catalogue list" report; do
        # shellcheck disable=SC2086
        cli 0 $command --help
        out_has "usage: qeltx-cli [DEVICE] $command"
    done
    # A group's help lists its own commands, not the overview.
    cli 0 catalogue --help
    out_has "usage: qeltx-cli [DEVICE] catalogue COMMAND"
    out_has "  catalogue check [DIR]"
    out_has "  catalogue list"
    out_has_not "eeprom read"
    cli 0 --help eeprom
    out_has "  eeprom read 50|51"
    out_has_not "catalogue"
    cli 2 frobnicate
    err_has "Try 'qeltx-cli --help'."
    # Each wrong command line or argument: exit status 2 and the reason.
    while IFS='|' read -r args reason; do
        eval "cli 2 $args"
        err_has "qeltx-cli: $reason"
    done <<'CASES'
|no command given
frobnicate|unknown command 'frobnicate'
eeprom|'eeprom' needs a command after it
eeprom write 50|unknown command 'eeprom write'
upload|upload needs NAME
upload "Amber Drive" extra|too many arguments for upload
upload Amber --bank 4|--bank takes 1|2|3, not '4'
upload Amber --bank|--bank needs a value
query --bank 1|unknown option '--bank' for query
--virtual-pedal --port /dev/null query|choose one device
--json=yes list|--json takes no value
set x 1|INDEX is a control number 0..15, not 'x'
eeprom read 52|the EEPROM address is 50 or 51
upload NoSuchAlgorithm --virtual-pedal|the catalogue has no algorithm called 'NoSuchAlgorithm'
ir-merge "Amber Drive" x.wav|The editor does not know where Amber Drive keeps its impulse response
ir-merge "Basic IR Loader" x.wav --normalize 3|--normalize takes a peak level from -60 to 0 dB, not '3'
ir-merge "Basic IR Loader" x.wav --fade-ms soon|--fade-ms takes milliseconds from 0 to 1000, not 'soon'
ir-merge "Basic IR Loader" x.wav --fade-ms|--fade-ms needs a value (MS)
restore|restore needs FILE
backup extra|too many arguments for backup
report extra|too many arguments for report
report -o|-o needs a value (FILE)
catalogue list --category Jazz|--category takes one of Gain, Modulation, Synthesis, Filter, Dynamic, Impulse Response, Other, not 'Jazz'
catalogue list extra|too many arguments for catalogue list
CASES
    ;;
files)
    wav24 "$WORK/ir.wav"
    cli 0 ir-merge "Basic IR Loader" "$WORK/ir.wav"
    [ "$(tr -d '\n' <"$WORK/out" | wc -c)" -eq 11776 ] || fail "ir-merge: the image is not 5888 bytes of hex"
    cp "$WORK/out" "$WORK/merged.txt"
    cli 0 --json ir-merge "basic ir loader" "$WORK/ir.wav" -o "$WORK/merged-o.txt"
    out_has '"tapsFromFile": 240'
    out_has '"tapsPadded": 672'
    cmp -s "$WORK/merged.txt" "$WORK/merged-o.txt" || fail "ir-merge -o wrote other text than standard output shows"
    "$SOX" -n -r 44100 -b 16 -c 2 "$WORK/ir44.wav" synth 0.005 sine 500
    cli 0 ir-merge "Basic IR Loader" "$WORK/ir44.wav"
    err_has "ir44.wav: resampled from 44100 Hz to 48000 Hz"
    err_has "ir44.wav: kept 239 of 239 samples (5.0 ms of 5.0 ms), 100.0 % of the energy"
    cp "$WORK/out" "$WORK/resampled.txt"
    cli 0 ir-merge "Basic IR Loader" "$WORK/ir44.wav" --no-resample
    err_has "sampled at 44100 Hz; the pedal runs at 48000 Hz"
    err_has "ir44.wav: kept 220 of 220 samples (5.0 ms of 5.0 ms), 100.0 % of the energy"
    cmp -s "$WORK/out" "$WORK/resampled.txt" && fail "--no-resample made the same image as resampling"
    # A 48 kHz file is taken as it is, with the option or without.
    cli 0 ir-merge "Basic IR Loader" "$WORK/ir.wav" --no-resample
    cmp -s "$WORK/merged.txt" "$WORK/out" || fail "--no-resample changed the image of a 48 kHz file"
    # ir-info: what each IR loader keeps, the same fields in JSON, and the window's picture.
    "$SOX" -n -r 96000 -b 24 -c 2 "$WORK/ir96.wav" synth 0.1 whitenoise fade h 0 0.1 0.09
    cli 0 ir-info "$WORK/ir96.wav"
    out_has "sample rate: 96000 Hz, resampled to 48000 Hz"
    out_has "channels: 2 (the first is used)"
    out_has "length: 9600 samples (100.0 ms)"
    out_has "Basic IR Loader: kept 912 of 4800 samples (19.0 ms of 100.0 ms)"
    out_has "Corvel + IR Loader: kept 703 of 4800 samples (14.6 ms of 100.0 ms)"
    cli 0 --json ir-info "$WORK/ir96.wav" "basic ir loader" --no-resample --plot "$WORK/ir96.png"
    out_has '"sampleRate": 96000'
    out_has '"resampled": false'
    out_has '"tapsFromFile": 912'
    out_has '"keptMs": 9.5'
    out_has '"name": "Basic IR Loader"'
    [ "$(grep -c '"name"' "$WORK/out")" -eq 1 ] || fail "ir-info NAME: more than one loader"
    [ "$(head -c 8 "$WORK/ir96.png" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] || fail "ir-info --plot wrote no PNG"
    cli 2 ir-info "$WORK/ir96.wav" "Amber Drive"
    cli 1 ir-info "$WORK/missing.wav"
    cli 1 ir-merge "Basic IR Loader" "$WORK/missing.wav"
    one_error_line "missing.wav: the file could not be opened"
    cli 1 ir-merge "Basic IR Loader" "$WORK/ir.wav" -o "$WORK/no/such/folder/out.txt"
    one_error_line "cannot write $WORK/no/such/folder/out.txt"
    # A short response at a high rate keeps its samples; it is not resampled into silence.
    "$SOX" -D -r 176400 -n -b 24 -c 1 "$WORK/ir176.wav" synth 2048s whitenoise fade h 0 2048s 2000s
    cli 0 ir-merge "Basic IR Loader" "$WORK/ir176.wav"
    err_has "ir176.wav: kept 557 of 557 samples (11.6 ms of 11.6 ms)"
    # Rates a recording cannot have are refused at once, however many frames the file holds.
    head -c 2000000 /dev/zero | "$SOX" -t raw -r 1 -e signed -b 16 -c 1 - "$WORK/ir1hz.wav"
    cli 1 ir-merge "Basic IR Loader" "$WORK/ir1hz.wav"
    one_error_line "ir1hz.wav: the sample rate of 1 Hz is outside the 8000 to 384000 Hz the editor takes."
    head -c 2000 /dev/zero | "$SOX" -t raw -r 100 -e signed -b 16 -c 1 - "$WORK/ir100hz.aiff"
    cli 1 ir-info "$WORK/ir100hz.aiff"
    one_error_line "ir100hz.aiff: the sample rate of 100 Hz is outside the 8000 to 384000 Hz the editor takes."
    # 75 s at 8 kHz would make 3.6 million samples: only the first minute is resampled.
    "$SOX" -D -r 8000 -n -b 16 -c 1 "$WORK/long.flac" synth 75 sine 100 vol 0.5
    cli 0 ir-merge "Basic IR Loader" "$WORK/long.flac"
    err_has "long.flac: The file holds 75.0 s; only its first 60 s were used."
    err_has "long.flac: kept 912 of 2880000 samples (19.0 ms of 60000.0 ms)"

    cli 0 catalogue check
    out_has "files checked: 0 violations, 1 known exception"
    cli 0 catalogue check "$CATALOGUE"
    out_has "files checked: 0 violations, 1 known exception"
    mkdir "$WORK/catalogue"
    cp "$CATALOGUE"/* "$WORK/catalogue/"
    printf 'Not An Algorithm\r\n' >>"$WORK/catalogue/GAIN"
    cli 1 --json catalogue check "$WORK/catalogue"
    out_has '"violations": 1'
    out_has '"file": "GAIN"'
    one_error_line "$WORK/catalogue: 1 violations of the catalogue's rules"
    cli 1 catalogue check "$WORK/no-such-folder"
    one_error_line "$WORK/no-such-folder: not a folder"

    # catalogue list: every algorithm of EFFECT_LIST once, with its category and controls.
    cli 0 catalogue list
    out_has "no.  name"
    out_has "  1  Amber Drive           Gain                 3         0               0           0"
    out_has " 47  Prototype Matrix      -                   12         8               4           1"
    [ "$(($(wc -l <"$WORK/out") - 1))" -eq "$(($(grep -c . "$CATALOGUE/EFFECT_LIST") - 1))" ] ||
        fail "catalogue list: not one line per algorithm"
    cli 0 catalogue list --category "impulse response"
    [ "$(wc -l <"$WORK/out")" -eq 5 ] || fail "catalogue list --category: not the four IR algorithms"
    out_has " 32  Basic IR Loader     Impulse Response     3"
    out_has_not "Amber Drive"
    cli 0 --json catalogue list --category Synthesis
    out_has '"category": "Synthesis"'
    out_has '"multiSwitches": '
    out_has_not '"category": "Gain"'
    ;;
backup)
    # Amber Drive in bank II with assignments, a reverse flag and a MIDI channel: every kind of
    # setting away from what a fresh pedal holds.
    cat >"$WORK/set.json" <<'JSON'
{
    "format": "Qelt X settings backup", "formatVersion": 1, "firmwareVersion": 1,
    "algorithm": { "number": 1, "name": "Amber Drive", "version": 1 },
    "mode": "bank", "bank": 2, "midiChannel": 5, "bypassToggle": "RMT", "presetChange": "FL",
    "controls": [
        { "index": 0, "value": 100, "assignment": "KI", "reverse": false },
        { "index": 1, "value": 300, "assignment": "--", "reverse": false },
        { "index": 2, "value": 1023, "assignment": "EXP", "reverse": true }
    ],
    "readbacks": []
}
JSON
    start_sim
    cli 0 --port "$PTY" restore "$WORK/set.json"
    out_has "uploaded Amber Drive"
    out_has "restored 14 of 14 settings"
    cli 0 --port "$PTY" --json request
    cp "$WORK/out" "$WORK/request-before.json"
    out_has '"midiChannel": 5'
    cli 0 --port "$PTY" backup -o "$WORK/pedal.json"
    out_has "backed up Amber Drive v1, 14 settings to $WORK/pedal.json"
    grep -qF '"bank": 2' "$WORK/pedal.json" || fail "backup: the file lacks the bank"
    grep -qF '"assignment": "EXP"' "$WORK/pedal.json" || fail "backup: the file lacks an assignment"

    # A backup that cannot be written whole leaves the old file as it was: a folder the user may
    # not write to, and (for root, who may) a file-size limit standing in for a full disk.
    cp "$WORK/pedal.json" "$WORK/pedal-kept.json"
    mkdir "$WORK/locked"
    cp "$WORK/pedal.json" "$WORK/locked/pedal.json"
    chmod a-w "$WORK/locked"
    if [ "$(id -u)" -ne 0 ]; then
        cli 1 --port "$PTY" backup -o "$WORK/locked/pedal.json"
        err_has "qeltx-cli: cannot write $WORK/locked/pedal.json"
        cmp -s "$WORK/locked/pedal.json" "$WORK/pedal-kept.json" || fail "backup into a read-only folder changed the old file"
    fi
    chmod u+w "$WORK/locked"
    (trap '' XFSZ; ulimit -f 1; timeout 60 "$CLI" --port "$PTY" backup -o "$WORK/pedal.json" >"$WORK/out" 2>"$WORK/err")
    [ $? -eq 1 ] || fail "backup on a full disk: exit status is not 1"
    LAST="backup on a full disk"
    err_has "bytes reached the disk (is it full?)"
    cmp -s "$WORK/pedal.json" "$WORK/pedal-kept.json" || fail "backup on a full disk changed the old file"
    [ "$(ls "$WORK" | grep -c '^pedal.json.')" -eq 0 ] || fail "backup on a full disk left a temporary file"
    stop_sim

    # An erased pedal holds nothing: restore uploads the algorithm into bank II and puts every
    # setting back, and the read-back is what it was.
    start_sim --stored 0
    cli 1 --port "$PTY" backup -o "$WORK/empty.json"
    one_error_line "No effect found on pedal"
    [ -e "$WORK/empty.json" ] && fail "backup of an empty pedal wrote a file"
    cli 0 --port "$PTY" restore "$WORK/pedal.json"
    out_has "uploaded Amber Drive"
    out_has "restored 14 of 14 settings"
    cli 0 --port "$PTY" --json request
    cmp -s "$WORK/out" "$WORK/request-before.json" || fail "the restored pedal reads back other settings"
    stop_sim

    # A pedal holding another algorithm gets the backup's one first.
    start_sim --stored 11
    cli 0 --port "$PTY" --json restore "$WORK/pedal.json"
    out_has '"uploaded": true'
    out_has '"restored": 14'
    cli 0 --port "$PTY" query
    out_has "algorithm: 1 Amber Drive"
    stop_sim

    # Each refused file says why, before any device is opened (the port does not exist).
    printf '{ "format": ' >"$WORK/bad-json.json"
    sed 's/"formatVersion": 1/"formatVersion": 2/' "$WORK/pedal.json" >"$WORK/bad-version.json"
    sed 's/"number": 1,/"number": 250,/' "$WORK/pedal.json" >"$WORK/bad-algorithm.json"
    sed 's/"value": 300/"value": 1024/' "$WORK/pedal.json" >"$WORK/bad-value.json"
    while IFS='|' read -r file reason; do
        cli 1 --port "$WORK/no-such-port" restore "$WORK/$file"
        one_error_line "$WORK/$file: $reason"
    done <<'CASES'
bad-json.json|The file is not a settings backup: it does not parse as JSON
bad-version.json|The backup is of format version 2; this editor reads version 1.
bad-algorithm.json|This editor's catalogue has no algorithm number 250 (Amber Drive).
bad-value.json|The value of control 1 (Tone) is 1024; it must be 0 to 1023.
CASES
    cli 1 --port "$WORK/no-such-port" restore "$WORK/missing.json"
    one_error_line "cannot read $WORK/missing.json"
    ;;
preset)
    # Octa X Fuzz: pots 0..3, switch 4, multi-switch 5 (Low, Mid, High).
    start_sim
    octa_preset
    out_has "File saved successfully: $WORK/octa.txt"
    # The editor's preset bytes: BOM, CR-ended hex lines of number, version, count, the values
    # the pedal holds (its starting values beside the three just set), assignments.
    printf '\357\273\2770005\r01\r06\r0000006F\r00000390\r00000091\r00000192\r00000000\r000002AA\rFF\rFF\rFF\rFF\rFF\rFF\r' >"$WORK/expected.txt"
    cmp -s "$WORK/octa.txt" "$WORK/expected.txt" || fail "preset save: the file is not the editor's preset of what the pedal holds"
    cli 0 --port "$PTY" --json preset save "$WORK/octa2.txt"
    out_has '"name": "Octa X Fuzz"'
    cmp -s "$WORK/octa.txt" "$WORK/octa2.txt" || fail "preset save twice: the files differ"

    # Loading puts every value back, the switch and multi-switch included.
    cli 0 --port "$PTY" set 0 900
    cli 0 --port "$PTY" set 4 on
    cli 0 --port "$PTY" set 5 Low
    cli 0 --port "$PTY" preset load "$WORK/octa.txt"
    out_has "File loaded successfully: $WORK/octa.txt"
    cli 0 --port "$PTY" request
    out_has "0 Fuzz [pot]: 111"
    out_has "4 Octave [switch]: off"
    out_has "5 Range [multi-switch]: 682 (High)"

    # A preset of another algorithm: refused naming both, nothing sent; applied with --upload.
    cli 0 --port "$PTY" upload "Amber Drive"
    cli 1 --port "$PTY" preset load "$WORK/octa.txt"
    one_error_line "this preset is for Octa X Fuzz; the pedal holds Amber Drive"
    cli 0 --port "$PTY" query
    out_has "algorithm: 1 Amber Drive"
    cli 0 --port "$PTY" --json preset load "$WORK/octa.txt" --upload
    out_has '"uploaded": true'
    out_has '"valuesSent": 6'
    cli 0 --port "$PTY" request
    out_has "algorithm: 5 Octa X Fuzz"
    out_has "0 Fuzz [pot]: 111"
    out_has "4 Octave [switch]: off"
    out_has "5 Range [multi-switch]: 682 (High)"

    # Files that are no preset for this catalogue are refused, and nothing is sent.
    printf 'not a preset\r' >"$WORK/bad.txt"
    cli 1 --port "$PTY" preset load "$WORK/bad.txt"
    one_error_line "it is not a preset file"
    printf '0005\r01\r03\r00000001\r00000002\r00000003\r' >"$WORK/short.txt"
    cli 1 --port "$PTY" preset load "$WORK/short.txt" --upload
    one_error_line "the preset has 3 parameters; Octa X Fuzz has 6"
    printf '0FFF\r01\r01\r00000001\r' >"$WORK/unknown.txt"
    cli 1 --port "$PTY" preset load "$WORK/unknown.txt" --upload
    one_error_line "this preset is for algorithm number 4095"

    # Into a bank, as upload --bank puts an algorithm there: the pedal then runs bank II with the
    # preset's values. An algorithm no bank can hold is refused and nothing is sent.
    cli 0 --port "$PTY" upload "Amber Drive"
    cli 0 --port "$PTY" preset load "$WORK/octa.txt" --upload --bank 2
    out_has "File loaded successfully: $WORK/octa.txt"
    cli 0 --port "$PTY" request
    out_has "algorithm: 5 Octa X Fuzz"
    out_has "mode: bank, bank 2"
    out_has "0 Fuzz [pot]: 111"
    out_has "5 Range [multi-switch]: 682 (High)"
    cli 0 --port "$PTY" upload "Plate Reverb"
    cli 0 --port "$PTY" preset save "$WORK/plate.txt"
    cli 0 --port "$PTY" upload "Amber Drive"
    cli 1 --port "$PTY" preset load "$WORK/plate.txt" --upload --bank 1
    one_error_line "this preset is for Plate Reverb, which is larger than 5440 bytes and cannot be stored in a bank"
    cli 0 --port "$PTY" query
    out_has "algorithm: 1 Amber Drive"
    cli 2 --port "$PTY" preset load "$WORK/octa.txt" --upload --bank 4
    err_has "--bank takes 1|2|3, not '4'"

    # Files that cannot be read or written.
    cli 1 --port "$PTY" preset load "$WORK/none.txt"
    one_error_line "error loading file"
    cli 1 --port "$PTY" preset save "$WORK/no-such-folder/x.txt"
    one_error_line "error saving file"
    cli 2 --port "$PTY" preset load
    cli 0 preset save --help
    out_has "usage: qeltx-cli [DEVICE] preset save FILE"
    stop_sim
    ;;
diff)
    # Octa X Fuzz: pots 0..3 (Fuzz first), switch 4 (Octave), multi-switch 5 (Range: Low, Mid, High).
    start_sim
    octa_preset
    # The pedal as the preset holds it: nothing differs.
    cli 0 --port "$PTY" diff "$WORK/octa.txt"
    out_has "Octa X Fuzz: octa.txt -> the pedal"
    out_has "  no differences"
    cli 0 --port "$PTY" --json diff "$WORK/octa.txt"
    out_has '"equal": true'
    out_has '"differences": ['

    # A pot, the switch and the multi-switch moved: each by name, as a player reads it.
    cli 0 --port "$PTY" set 0 900
    cli 0 --port "$PTY" set 4 on
    cli 0 --port "$PTY" set 5 Low
    cli 1 --port "$PTY" diff "$WORK/octa.txt"
    out_has "  Fuzz: 111 -> 900"
    out_has "  Octave: off -> on"
    out_has "  Range: High -> Low"
    [ "$(grep -c -- ' -> ' "$WORK/out")" -eq 4 ] || fail "$LAST: expected the title and three differences"
    [ -s "$WORK/err" ] && fail "$LAST: differing is no error"
    cli 1 --port "$PTY" --json diff "$WORK/octa.txt"
    out_has '"equal": false'
    out_has '"name": "Fuzz"'
    out_has '"field": "value"'
    out_has '"left": 111'
    out_has '"right": 900'
    out_has '"rightText": "Low"'

    # Two presets, no pedal needed: the same file, then one with another assignment.
    cli 0 --port "$PTY" preset save "$WORK/octa2.txt"
    stop_sim
    cli 0 diff "$WORK/octa.txt" "$WORK/octa.txt"
    out_has "  no differences"
    cli 1 diff "$WORK/octa.txt" "$WORK/octa2.txt"
    out_has "Octa X Fuzz: octa.txt -> octa2.txt"
    out_has "  Fuzz: 111 -> 900"
    printf '\357\273\2770005\r01\r06\r0000006F\r00000390\r00000091\r00000192\r00000000\r000002AA\r00\rFF\rFF\rFF\rFF\rFF\r' >"$WORK/assigned.txt"
    cli 1 diff "$WORK/octa.txt" "$WORK/assigned.txt"
    out_has "  Fuzz assignment: -- -> KI"
    # Presets of two algorithms are not compared parameter by parameter.
    printf '0001\r01\r04\r00000001\r00000002\r00000003\r00000004\r' >"$WORK/drive.txt"
    cli 1 diff "$WORK/octa.txt" "$WORK/drive.txt"
    out_has "algorithm: Octa X Fuzz (octa.txt) -> Amber Drive (drive.txt)"
    cli 1 --json diff "$WORK/octa.txt" "$WORK/drive.txt"
    out_has '"sameAlgorithm": false'

    # Files that cannot be compared: one line on stderr, exit 1.
    printf 'not a preset\r' >"$WORK/bad.txt"
    cli 1 diff "$WORK/bad.txt" "$WORK/octa.txt"
    one_error_line "$WORK/bad.txt: it is not a preset file"
    cli 1 diff "$WORK/octa.txt" "$WORK/none.txt"
    one_error_line "error loading file"
    printf '0005\r01\r03\r00000001\r00000002\r00000003\r' >"$WORK/short.txt"
    cli 1 diff "$WORK/short.txt" "$WORK/octa.txt"
    one_error_line "it has 3 parameters; the algorithm has 6"
    # No pedal to compare with.
    cli 1 --port "$WORK/no-such-port" diff "$WORK/octa.txt"
    [ "$(wc -l <"$WORK/err")" -eq 1 ] || fail "$LAST: expected one line on stderr"
    cli 2 diff
    cli 2 diff a b c
    cli 0 diff --help
    out_has "usage: qeltx-cli [DEVICE] diff PRESET [PRESET2]"
    out_has "Exit status as diff's"
    ;;
report)
    # report_has FILE LINE: the report holds that whole line.
    report_has() { grep -qxF -- "$2" "$1" || fail "$LAST: the report lacks the line '$2'"; }
    # The query's bytes out, then the pedal's answer in, each with its time: the line numbers of
    # the last "> 0600" and of the "<" line after it, and their times in order.
    query_traced() {
        awk '/^Messages, the last /{m=1; next}
             m && $3==">" {q=$4=="0600" ? NR : 0; qt=$1; next}
             m && $3=="<" && q && !a {a=NR; at=$1}
             END {exit !(q && a > q && at >= qt)}' "$1" || fail "$LAST: no query out and answer in, in order, in $1"
    }

    cli 0 --virtual-pedal report -o "$WORK/virtual.txt"
    out_has "support report written to $WORK/virtual.txt"
    report_has "$WORK/virtual.txt" "qeltx-cli support report"
    report_has "$WORK/virtual.txt" "This report holds: the program's, Qt's and the operating system's versions; the driver backends"
    grep -q "Editor settings" "$WORK/virtual.txt" && fail "$LAST: qeltx-cli's report names editor settings it does not have"
    grep -q "^Operating system: .*-" "$WORK/virtual.txt" && fail "$LAST: the report holds the kernel's build string"
    report_has "$WORK/virtual.txt" "Link: linked to QXVIRTUAL1, normal operation"
    report_has "$WORK/virtual.txt" "Algorithm held: 1 Amber Drive v1, firmware 1"
    grep -q "^  [0-9]*  QXVIRTUAL1  Qelt X Virtual Pedal  (virtual)$" "$WORK/virtual.txt" || fail "report: the virtual pedal is not listed"
    report_has "$WORK/virtual.txt" "effect number DEC: 1"
    grep -q "^Qt version: [0-9]" "$WORK/virtual.txt" || fail "report: no Qt version"
    grep -q "^Editor version: [0-9]" "$WORK/virtual.txt" || fail "report: no editor version"
    grep -q "^  d2xx: " "$WORK/virtual.txt" || fail "report: the D2XX backend is not listed"
    query_traced "$WORK/virtual.txt"
    # Without -o the report is the standard output; --json says what was written.
    cli 0 --virtual-pedal report
    out_has "Messages, the last "
    out_has " ms  > 0600"
    cli 0 --virtual-pedal --json report -o "$WORK/virtual.json.txt"
    out_has '"linked": true'
    out_has '"algorithm": "1 Amber Drive v1, firmware 1"'
    out_has "\"output\": \"$WORK/virtual.json.txt\""
    grep -qxF "qeltx-cli support report" "$WORK/virtual.json.txt" || fail "report --json -o: no report written"
    cli 0 --virtual-pedal --json report
    out_has '"linked": true'
    grep -q "support report" "$WORK/out" && fail "report --json without -o: the text spoils the JSON"
    err_has "--json without -o: the report itself is not written"

    # Through the serial backend on qeltx-pedal-sim's terminal, a pedal that answers, then one
    # that does not: the report is written all the same, and says so.
    start_sim
    cli 0 --port "$PTY" report -o "$WORK/pty.txt"
    report_has "$WORK/pty.txt" "Link: linked to $PTY, normal operation"
    report_has "$WORK/pty.txt" "  0  $PTY  $PTY  (serial)"
    query_traced "$WORK/pty.txt"
    stop_sim
    start_sim --silent
    cli 0 --port "$PTY" report -o "$WORK/silent.txt"
    report_has "$WORK/silent.txt" "Algorithm held: unknown: the pedal did not answer the stored-effect query in time; check the cable and that the pedal is switched on"
    grep -q " > 0600$" "$WORK/silent.txt" || fail "report of a silent pedal: the query is not traced"
    grep -q " ms  < " "$WORK/silent.txt" && fail "report of a silent pedal: something traced as received"
    stop_sim

    # No device, in a home folder: the report says why, and no path shows the home folder.
    mkdir "$WORK/home"
    REAL_HOME=${HOME:-}
    export HOME="$WORK/home"
    cli 0 --port "$WORK/home/no-such-port" report -o "$WORK/nodevice.txt"
    HOME=$REAL_HOME
    err_has "the pedal could not be reached (cannot open $WORK/home/no-such-port: no such port); the report says so"
    report_has "$WORK/nodevice.txt" "Link: not linked: cannot open ~/no-such-port: no such port"
    report_has "$WORK/nodevice.txt" "Algorithm held: not asked (no link)"
    grep -qF "$WORK/home" "$WORK/nodevice.txt" && fail "report: the home folder shows"
    cli 1 --virtual-pedal report -o "$WORK/no/such/folder/report.txt"
    one_error_line "cannot write $WORK/no/such/folder/report.txt"
    ;;
*)
    echo "unknown group $GROUP"
    exit 2
    ;;
esac

[ "$FAILED" -eq 0 ] && echo "cli_$GROUP: all cases passed"
exit "$FAILED"
