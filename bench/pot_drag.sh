#!/usr/bin/env bash
# A pot dragged over its 1024 positions in the real editor, linked to the virtual pedal paced
# at 115,200 baud: the median time until the pedal has all 1024 commands. Goal: under
# 1.2 × 1024 × (7 byte times + 1 ms) = 1.98 s. --console-shown drags with the console open.
source "$(dirname "$0")/support/run_bench.sh"
run_editor_bench pot_drag_bench pot_drag "$@"
