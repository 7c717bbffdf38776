#!/usr/bin/env bash
# Request against the virtual pedal paced at 115,200 baud: the median time from the click to
# the panel filled. Goal: under 1.3 × (the reply's wire time + one 16 ms latency).
source "$(dirname "$0")/support/run_bench.sh"
run_editor_bench request_bench request "$@"
