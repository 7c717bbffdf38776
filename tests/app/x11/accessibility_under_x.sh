#!/bin/sh
# A screen reader's view of the editor: on a real X server, with a session D-Bus and the
# desktop's accessibility bus, the editor is linked to qeltx-pedal-sim; accessibility_walk.py
# walks its AT-SPI tree (every enabled control named) and moves a pot through the
# accessibility interface; then qeltx-cli reads the pedal and the pot's value must be there.
# Usage (under run_under_x.sh): accessibility_under_x.sh EDITOR PEDAL_SIM CLI
editor=$1
sim=$2
cli=$3
here=$(dirname "$0")
launcher=
for l in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
  [ -x "$l" ] && launcher=$l && break
done
[ -n "$launcher" ] || { echo "at-spi-bus-launcher is not installed (at-spi2-core)"; exit 77; }
command -v dbus-run-session >/dev/null 2>&1 || { echo "dbus-run-session is not installed (dbus-daemon)"; exit 77; }
/usr/bin/python3 -c "import pyatspi" 2>/dev/null || { echo "pyatspi is not installed (python3-pyatspi)"; exit 77; }

work=$(mktemp -d)
simpid=
cleanup() {
  [ -n "$simpid" ] && kill "$simpid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
# Square Synth: pots, switches, buttons, multi-switches and read-backs on one panel.
"$sim" --stored 19 >"$work/sim.out" 2>"$work/sim.err" &
simpid=$!
n=0
until [ -s "$work/sim.out" ]; do n=$((n + 1)); [ $n -gt 50 ] && { echo "FAIL: qeltx-pedal-sim gave no port"; exit 1; }; sleep 0.1; done
pty=$(head -n 1 "$work/sim.out")
mkdir -p "$work/home"
value=777

# The session bus lives as long as this inner script; the editor is asked to close at its end.
cat >"$work/session.sh" <<INNER
"$launcher" --launch-immediately >"$work/launcher.out" 2>&1 &
launcher=\$!
HOME="$work/home" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$editor" --port "$pty" >"$work/editor.out" 2>&1 &
edpid=\$!
/usr/bin/python3 "$here/accessibility_walk.py" $value
rc=\$?
kill \$edpid
wait \$edpid
kill \$launcher 2>/dev/null
exit \$rc
INNER
dbus-run-session -- sh "$work/session.sh" 2>"$work/dbus.err"
rc=$?
if [ $rc -ne 0 ]; then
  cat "$work/dbus.err" "$work/launcher.out" "$work/editor.out"
  exit 1
fi
# The pedal holds what the accessibility interface set: the first pot (Square Synth's first row).
"$cli" --port "$pty" request >"$work/request.out" 2>&1 || { cat "$work/request.out"; echo "FAIL: qeltx-cli request"; exit 1; }
head -n 2 "$work/request.out"
sed -n 2p "$work/request.out" | grep -q "\[pot\]: $value," || { echo "FAIL: the pedal's first pot is not $value"; exit 1; }
echo "PASS: the pot set through AT-SPI reached the pedal"
