#!/bin/sh
# Closing the editor as a player does, on a real X server with a window manager: the editor is
# linked to qeltx-pedal-sim's pseudo-terminal with its panel and console open, the main window
# is closed through the window manager (Alt+F4, then a click on the title bar's close button),
# and the process must end by itself, with status 0, having let go of the port.
# Usage (under run_under_x.sh): closing_under_x.sh EDITOR PEDAL_SIM [SCREENSHOT_DIR]
editor=$1
sim=$2
shots=${3:-}
for tool in xdotool xwininfo; do
  command -v "$tool" >/dev/null 2>&1 || { echo "$tool is not installed"; exit 77; }
done
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
  [ -n "$shots" ] && import -window root "$shots/failed.png"
  xdotool search --onlyvisible --name "." getwindowname %@ 2>/dev/null | sed "s/^/window: /"
  exit 1
}

"$sim" >"$work/sim.out" 2>"$work/sim.err" &
simpid=$!
n=0
until [ -s "$work/sim.out" ]; do n=$((n + 1)); [ $n -gt 50 ] && fail "qeltx-pedal-sim gave no port"; sleep 0.1; done
pty=$(head -n 1 "$work/sim.out")

holds_port() {
  for fd in /proc/"$1"/fd/*; do
    [ "$(readlink "$fd" 2>/dev/null)" = "$pty" ] && return 0
  done
  return 1
}

# Waits up to 15 s for a visible window whose name is exactly $1; prints its id.
window_named() {
  n=0
  while [ $n -lt 150 ]; do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    n=$((n + 1)); sleep 0.1
  done
  return 1
}

# Waits up to 15 s until the editor shows at least $1 windows.
windows_shown() {
  n=0
  while [ $n -lt 150 ]; do
    [ "$(xdotool search --onlyvisible --pid "$edpid" 2>/dev/null | wc -l)" -ge "$1" ] && return 0
    n=$((n + 1)); sleep 0.1
  done
  return 1
}

# Starts the editor linked to the pedal, with the panel and the console open.
start_editor() {
  HOME="$work/home" "$editor" --port "$pty" >"$work/editor.out" 2>&1 &
  edpid=$!
  main=$(window_named "Qelt X Editor") || fail "no main window"
  windows_shown 2 || fail "the panel did not open after Link"
  holds_port "$edpid" || fail "the editor does not hold $pty after Link"
  xdotool windowactivate --sync "$main" key --clearmodifiers ctrl+shift+p
  windows_shown 3 || fail "Ctrl+Shift+P did not show the console"
  xdotool windowactivate --sync "$main"
}

# Waits up to 10 s for the editor to end; fails unless it ended with status 0.
expect_ended() {
  n=0
  while kill -0 "$edpid" 2>/dev/null; do
    n=$((n + 1))
    if [ $n -gt 100 ]; then
      ps -o stat= -p "$edpid"
      fail "$1: the editor is still running 10 s after its main window was closed"
    fi
    sleep 0.1
  done
  wait "$edpid"
  rc=$?
  edpid=
  [ $rc -eq 0 ] || { cat "$work/editor.out"; fail "$1: the editor ended with status $rc"; }
  echo "PASS: $1 ends the editor"
}

mkdir -p "$work/home"

start_editor
[ -n "$shots" ] && import -window root "$shots/before-alt-f4.png"
xdotool key --clearmodifiers alt+F4
expect_ended "Alt+F4 on the main window"

# The close button: the rightmost button of openbox's title bar, found from the frame.
start_editor
# The window manager says how far its frame reaches above the client: the title bar is there.
top=$(xprop -id "$main" _NET_FRAME_EXTENTS | awk -F', ' '{print $3}')
inner=$(xwininfo -id "$main" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} /Width:/ {w=$2} END {print x, y, w}')
set -- $inner
x=$1; y=$2; w=$3
[ -n "$top" ] && [ "$top" -gt 4 ] || fail "no title bar above the main window (frame extents: $top)"
# Openbox draws the close button at the right end of the title bar.
cx=$((x + w - 8))
cy=$((y - top / 2))
echo "client at $x,$y width $w, title bar $top px; clicking $cx,$cy"
[ -n "$shots" ] && import -window root "$shots/before-close-button.png"
xdotool mousemove --sync "$cx" "$cy" click 1
expect_ended "a click on the close button"
