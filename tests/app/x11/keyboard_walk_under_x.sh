#!/bin/sh
# The whole round without a mouse: on a real X server with a window manager, linked to
# qeltx-pedal-sim, a player unlinks and links, asks what the pedal holds and reads its values,
# turns a pot, undoes and redoes it, saves the sound in a preset file, chooses another algorithm
# in the list and uploads it, loads the preset back (which uploads its algorithm again) and
# quits. Only keys are sent (xdotool key/type), each to the window that has the keyboard. At the
# end qeltx-cli reads the pedal: it holds the saved preset, the pot turned by End included.
# Usage (under run_under_x.sh): keyboard_walk_under_x.sh EDITOR PEDAL_SIM CLI [SCREENSHOT_DIR]
editor=$1
sim=$2
cli=$3
shots=${4:-}
[ -n "$shots" ] && mkdir -p "$shots"
work=$(mktemp -d)
simpid=
edpid=
cleanup() {
  [ -n "$edpid" ] && kill "$edpid" 2>/dev/null
  [ -n "$simpid" ] && kill "$simpid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  [ -n "$shots" ] && import -window root "$shots/keyboard-walk-failed.png" 2>/dev/null
  xdotool search --onlyvisible --name "." getwindowname %@ 2>/dev/null | sed "s/^/window: /"
  echo "active: $(xdotool getactivewindow getwindowname 2>/dev/null)"
  exit 1
}
# Waits up to 20 s for a visible window whose name matches the pattern $1; prints its id.
window_named() {
  n=0
  while [ $n -lt 200 ]; do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    n=$((n + 1)); sleep 0.1
  done
  return 1
}
# Waits up to 20 s until the window with the keyboard is named as the pattern $1 says.
active_is() {
  n=0
  while [ $n -lt 200 ]; do
    xdotool getactivewindow getwindowname 2>/dev/null | grep -q -- "$1" && return 0
    n=$((n + 1)); sleep 0.1
  done
  return 1
}
# Whether the editor holds the pedal's port open.
holds_port() {
  for fd in /proc/"$edpid"/fd/*; do
    [ "$(readlink "$fd" 2>/dev/null)" = "$pty" ] && return 0
  done
  return 1
}
# Keys to the window that has the keyboard now.
keys() { xdotool key --clearmodifiers --delay 80 "$@"; sleep 0.4; }
# Answers the editor's box that has the keyboard (titled as the main window) with keys $@.
answer() {
  active_is "^Qelt X Editor\$" || fail "no box to answer with $*"
  keys "$@"
}

# Amber Drive: three pots.
"$sim" --stored 1 >"$work/sim.out" 2>"$work/sim.err" &
simpid=$!
n=0
until [ -s "$work/sim.out" ]; do n=$((n + 1)); [ $n -gt 50 ] && fail "qeltx-pedal-sim gave no port"; sleep 0.1; done
pty=$(head -n 1 "$work/sim.out")
home="$work/home"
mkdir -p "$home"
HOME="$home" "$editor" --port "$pty" >"$work/editor.out" 2>&1 &
edpid=$!
main=$(window_named "^Qelt X Editor\$") || fail "no main window"
window_named "^Amber Drive v1\$" >/dev/null || fail "no parameter window after the link at start"

# Unlink through the menu's underlined letters, then Link by its shortcut.
xdotool windowactivate --sync "$main"
holds_port || fail "the editor does not hold $pty after its link at start"
keys alt+c u
n=0
while holds_port && [ $n -lt 100 ]; do n=$((n + 1)); sleep 0.1; done
holds_port && fail "Alt+C U (Unlink) kept $pty open"
keys ctrl+l
n=0
until holds_port || [ $n -gt 100 ]; do n=$((n + 1)); sleep 0.1; done
holds_port || fail "Ctrl+L (Link) did not open $pty"
window_named "^Amber Drive v1\$" >/dev/null || fail "Ctrl+L (Link) did not show the pedal's algorithm"
echo "PASS: Unlink and Link by keys"

# Ask what the pedal holds: the parameter window comes forward, grey until Request, which
# its keys send too; then End turns its first pot all the way.
xdotool windowactivate --sync "$main"
keys ctrl+g
active_is "^Amber Drive v1\$" || fail "Ctrl+G (Get FX Stored on Pedal) did not bring the parameter window forward"
keys ctrl+r
keys End
window_named "^Amber Drive v1\*\$" >/dev/null || fail "End after Ctrl+R did not turn the first pot (no changed mark)"
keys ctrl+z
window_named "^Amber Drive v1\$" >/dev/null || fail "Ctrl+Z did not undo the turn"
keys ctrl+shift+z
window_named "^Amber Drive v1\*\$" >/dev/null || fail "Ctrl+Shift+Z did not redo the turn"
echo "PASS: query, Request, a pot, undo and redo by keys"

# Save Configuration: the file dialog takes a typed name; the confirmation goes with Return.
keys ctrl+s
active_is "^Save Preset File\$" || fail "Ctrl+S did not open the save dialog"
keys ctrl+a
xdotool type --delay 40 "keyboard walk"
keys Return
n=0
saved=
while [ -z "$saved" ] && [ $n -lt 100 ]; do
  saved=$(find "$home" -name "keyboard walk.txt" | head -n 1)
  n=$((n + 1)); sleep 0.1
done
[ -n "$saved" ] || fail "no 'keyboard walk.txt' was saved"
answer Return
echo "PASS: Save Configuration by keys"

# Another algorithm: F6 leads to the main window, whose keyboard is on Request since Get FX
# Stored on Pedal; two steps back is the list of algorithms. Down highlights Copper Fuzz, Space
# chooses it, Ctrl+U uploads it after its confirmation.
keys F6
active_is "^Qelt X Editor\$" || fail "F6 did not lead to the main window"
keys shift+Tab shift+Tab Down space
window_named "^Copper Fuzz \\(preview\\)\$" >/dev/null || fail "Down and Space in the list did not choose Copper Fuzz"
keys ctrl+u
answer Return
# After the pedal's "Upload complete" the panel shows its algorithm, no longer a preview.
window_named "^Copper Fuzz\$" >/dev/null || fail "Ctrl+U did not upload Copper Fuzz"
echo "PASS: an algorithm chosen in the list and uploaded by keys"

# Load Configuration: the preset's algorithm goes up first (its question answered Yes), then
# its values; the confirmation goes with Return.
xdotool windowactivate --sync "$main"
keys ctrl+o
active_is "^Open Preset File\$" || fail "Ctrl+O did not open the open dialog"
xdotool type --delay 40 "keyboard walk"
keys Return
answer Return
window_named "^Amber Drive v1" >/dev/null || fail "loading the preset did not bring Amber Drive back"
[ -n "$shots" ] && import -window root "$shots/keyboard-walk-loaded.png" 2>/dev/null
answer Return
echo "PASS: Load Configuration by keys"

# Quit: nothing is left unstored, so the editor ends without a question.
xdotool windowactivate --sync "$main"
keys ctrl+q
n=0
while kill -0 "$edpid" 2>/dev/null && [ $n -lt 100 ]; do n=$((n + 1)); sleep 0.1; done
kill -0 "$edpid" 2>/dev/null && fail "Ctrl+Q did not end the editor"
edpid=

"$cli" --port "$pty" request >"$work/request.out" 2>&1 || { cat "$work/request.out"; fail "qeltx-cli request"; }
head -n 2 "$work/request.out"
sed -n 2p "$work/request.out" | grep -q "\[pot\]: 1023," || { cat "$work/request.out"; fail "the pedal's first pot is not 1023"; }
"$cli" --port "$pty" diff "$saved" >"$work/diff.out" 2>&1 || { cat "$work/diff.out"; fail "the pedal does not hold the saved preset"; }
echo "PASS: the pedal holds the preset saved and loaded by keys"
