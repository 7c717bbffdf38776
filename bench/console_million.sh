#!/usr/bin/env bash
# The console filled with a million lines, then single lines appended through the log sink:
# the median over batches of the slowest append. Goal: under 1 ms.
source "$(dirname "$0")/support/run_bench.sh"
run_editor_bench console_million_bench console_million "$@"
