#!/usr/bin/env bash
# The editor linked and idle: processor use with the 20 ms poll running (and, for comparison,
# stopped). Goal: under 1 % of a core.
source "$(dirname "$0")/support/run_bench.sh"
run_editor_bench idle_poll_cpu_bench idle_poll_cpu "$@"
