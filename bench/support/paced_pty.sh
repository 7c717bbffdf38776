# Sourced by the benchmarks that run a program against qeltx-pedal-sim on its pseudo-terminal,
# paced in real time at the pedal's rate with the bridge's latency timer modelled. Expects SIM
# (the simulator's path); gives WORK (a temporary folder removed on exit), start_sim and
# stop_sim, the placement PIN_SIM / PIN_TOOL, and median and ratio.
# Placement: the simulated pedal is a process on this computer, where a real pedal is a device
# of its own. Left to the scheduler, it lands beside the program under test on one processor
# for some runs and on another for others, and each answer then waits for an idle processor to
# wake: a difference of placement, not of the programs. With two processors or more, the
# simulator runs on processor 1 and the program under test on processor 0, for every program.
BAUD=115200
PIN_SIM=()
PIN_TOOL=()
if [ "$(nproc)" -ge 2 ] && command -v taskset > /dev/null; then
    PIN_SIM=(taskset -c 1)
    PIN_TOOL=(taskset -c 0)
fi

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

# A fresh simulated pedal paced at latency $1 ms, with the simulator's other options after it
# (--bootloader, --stored N); sets PTY.
start_sim() {
    local latency=$1
    shift
    : > "$WORK/path"
    "${PIN_SIM[@]}" "$SIM" --pace "$BAUD" --latency-ms "$latency" "$@" > "$WORK/path" &
    PID=$!
    local i=0
    while [ ! -s "$WORK/path" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
    PTY=$(head -n 1 "$WORK/path")
    [ -c "$PTY" ] || { echo "no pseudo-terminal from qeltx-pedal-sim" >&2; exit 1; }
}

# The median of the numbers in file $1, one a line.
median() { sort -g "$1" | awk '{ v[NR] = $1 } END { if (NR % 2) printf "%.3f", v[(NR + 1) / 2]; else printf "%.3f", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
