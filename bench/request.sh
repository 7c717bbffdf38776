#!/usr/bin/env bash
# Request against the virtual pedal paced at 115,200 baud: the median time from the click to
# the panel filled. Goal: under the 200 ms pause plus 1.2 × the reply's wire time.
source "$(dirname "$0")/support/run_bench.sh"
run_editor_bench request_bench request "$@"
