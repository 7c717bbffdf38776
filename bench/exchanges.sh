#!/usr/bin/env bash
# The editor's conversations with the pedal on qeltx-pedal-sim's pseudo-terminal, paced in real
# time at 115,200 baud with the bridge's latency timer at 16 ms (its default) and at 1 ms: Link
# to the values shown (the stored-effect query and Request), Request for an algorithm of 16
# controls, Store Settings, Upload of the largest image (9,472 bytes, to "Upload complete"),
# one EEPROM read from the console and Erase Settings (bench/exchanges/exchanges_bench.cpp says
# how each is timed). Each row: the median of REPEAT runs (default 5), the wire bound (the bytes
# that crossed the line either way, 10 bits each at 115,200 baud, plus one latency per answer
# of the pedal, plus the pauses that stay for commands the pedal does not answer) and their
# ratio. The last line is the worst ratio.
# Goals at 16 ms: Request and Link to values shown within 1.3 x their bound, Erase Settings
# within 1.2 x, every row within 1.3 x.
# --smoke: one run of each at each latency, for scripts/test.sh (that everything still runs;
# the goals are for a full run on a quiet machine).
# BUILD_DIR picks the build folder (default build/, configured as Release when it does not
# exist yet).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build}
REPEAT=${REPEAT:-5}
[ "${1:-}" = "--smoke" ] && REPEAT=1
LATENCIES=(16 1)
# Calibration Sweep: 16 controls, the longest parameter block there is.
SIXTEEN_CONTROLS=54

if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
    cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
fi
cmake --build "$BUILD_DIR" -j 2 --target exchanges_bench qeltx-pedal-sim > /dev/null
SIM="$BUILD_DIR/src/pedal_sim/qeltx-pedal-sim"
BENCH="$BUILD_DIR/bench/exchanges/exchanges_bench"
source bench/support/paced_pty.sh
echo "build: $BUILD_DIR ($(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$BUILD_DIR/CMakeCache.txt")); runs of each: $REPEAT; load average: $(cut -d' ' -f1-3 /proc/loadavg); placement: ${PIN_SIM[*]:-none} for the simulator, ${PIN_TOOL[*]:-none} for the editor"

for latency in "${LATENCIES[@]}"; do
    start_sim "$latency" --stored "$SIXTEEN_CONTROLS"
    if ! QT_QPA_PLATFORM=offscreen "${PIN_TOOL[@]}" "$BENCH" --port "$PTY" --latency-ms "$latency" --runs "$REPEAT" \
        > "$WORK/rows_$latency" 2> "$WORK/err_$latency"; then
        stop_sim
        cat "$WORK/rows_$latency" "$WORK/err_$latency" >&2
        echo "the benchmark at $latency ms did not finish" >&2
        exit 1
    fi
    stop_sim
    awk -F '\t' -v l="$latency" '$1 == "row" { print l "\t" $2 "\t" $3 "\t" $4 "\t" $5 }' "$WORK/rows_$latency" >> "$WORK/table"
done

# Goals hold at the bridge's default latency: Erase Settings within 1.2 x, every other row 1.3 x.
awk -F '\t' '
    BEGIN { printf "%-8s %-40s %10s %10s %7s %6s  %s\n", "latency", "exchange", "median ms", "bound ms", "ratio", "goal", "runs (ms)" }
    {
        ratio = $3 / $4
        goal = "-"
        if ($1 == 16) goal = ($2 ~ /^Erase Settings/) ? 1.2 : 1.3
        met = (goal == "-") ? "" : (ratio <= goal ? " met" : " MISSED")
        printf "%-8s %-40s %10.1f %10.1f %7.3f %6s  %s%s\n", $1 " ms", $2, $3, $4, ratio, goal, $5, met
        if (ratio > worst) { worst = ratio; at = $2 " at " $1 " ms" }
    }
    END { printf "worst ratio: %.3f (%s)\n", worst, at }
' "$WORK/table"
