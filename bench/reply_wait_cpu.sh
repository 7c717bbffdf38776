#!/usr/bin/env bash
# The editor's processor use while it waits for a reply (a silent virtual pedal, the wait run
# to its 2 s limit). Goal: under 5 % of a core.
source "$(dirname "$0")/support/run_bench.sh"
run_editor_bench reply_wait_cpu_bench reply_wait_cpu "$@"
