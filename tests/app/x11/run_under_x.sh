#!/bin/sh
# Runs a program on a real X server (Xvfb) under a window manager (openbox), as on a player's
# desktop. Exits 77 (skipped) when the X tools are not installed.
for tool in xvfb-run openbox xdotool xprop; do
  command -v "$tool" >/dev/null 2>&1 || { echo "$tool is not installed"; exit 77; }
done
exec xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
  openbox >/dev/null 2>&1 &
  wm=$!
  # Wait until the window manager has taken the screen.
  n=0
  until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do
    n=$((n + 1)); [ $n -gt 100 ] && break; sleep 0.1
  done
  "$@"
  rc=$?
  kill $wm 2>/dev/null
  exit $rc
' run_under_x "$@"
