#!/usr/bin/env bash
# Read EEPROM against the virtual pedal paced in real time: the median time for the poll tick
# that takes the 16,385-byte dump to log its 16,384 lines and the console to be usable again.
# Goal: under 300 ms. Each run waits out the command's 4 s pause.
source "$(dirname "$0")/support/run_bench.sh"
run_editor_bench eeprom_dump_console_bench eeprom_dump_console "$@"
