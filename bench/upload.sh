#!/usr/bin/env bash
# Uploading the largest image (9472 bytes) to the virtual pedal paced in real time at
# 115,200 baud: the median time from the confirmation to every byte at the pedal. Goal: under
# 1.1 × the wire time (0.82 s) = 0.90 s.
source "$(dirname "$0")/support/run_bench.sh"
run_editor_bench upload_bench upload "$@"
