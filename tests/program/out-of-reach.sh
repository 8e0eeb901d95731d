#!/usr/bin/env bash
# The real program as a screen reader sees it over AT-SPI, on kelvaro-belt-sim whose belt drops
# its link a few seconds after each connection:
#   out-of-reach.sh MONITOR SIMULATOR
# While the belt streams only the shown pages are offered as page tabs (the connection page and
# the diagnostics page are hidden); while the link is lost the forces read "---" and the battery gauge
# is greyed and described by the band's words; once the belt streams again they are current.
# Runs its own D-Bus session and X server.
set -euo pipefail
monitor="$(realpath "$1")"
sim="$(realpath "$2")"
here="$(cd "$(dirname "$0")" && pwd)"
if [ -z "${KELVARO_INNER:-}" ]; then
  export KELVARO_INNER=1
  # The accessibility bus keeps its socket under XDG_RUNTIME_DIR: one of its own, since tests
  # run side by side.
  XDG_RUNTIME_DIR="$(mktemp -d)"
  export XDG_RUNTIME_DIR
  # A display number of its own: tests run side by side.
  exec dbus-run-session -- xvfb-run -a -n $((100 + $$ % 800)) -s "-screen 0 1280x1024x24" "$0" "$@"
fi

work="$(mktemp -d)"
sim_pid="" pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work" "$XDG_RUNTIME_DIR"
}
trap cleanup EXIT
fail() {
  echo "$1"
  echo "--- monitor"; tail -20 "$work/out.txt" 2>/dev/null
  echo "--- watch"; cat "$work/watch.txt" 2>/dev/null
  exit 1
}
home="$work/home"
mkdir -p "$home"
cd "$work"
# A settings home whose port is the simulator's link.
printf '[ComPort1]\nPort=%s\nBaudRate=115200\nStopBits=1\nDataBits=8\nParity=None\nFlowControl=None\n' \
  "$work/belt" >"$home/ComPort.ini"
printf '[GLOBAL]\nAutoComPort=0\n' >"$home/Darev.ini"

# The belt's link drops 8 s after each connection.
"$sim" --link "$work/belt" --others 0 --link-loss 8 >"$work/sim.txt" 2>&1 &
sim_pid=$!
belt=""
for _ in $(seq 1 100); do
  belt=$(sed -n 's/^belt //p' "$work/sim.txt" | head -n 1)
  [ -n "$belt" ] && [ -e "$work/belt" ] && break
  sleep 0.1
done
[ -n "$belt" ] || fail "the simulator did not start"

export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
unset QT_QPA_PLATFORM
# The accessibility bus first, so that the program joins it as it starts.
env -u DISPLAY /usr/bin/python3 -c 'import pyatspi; pyatspi.Registry.getDesktop(0)'
"$monitor" --home "$home" --connect="$belt" --console-to-stderr >"$work/out.txt" 2>&1 &
pid=$!

# Streaming: the tab of "Live Graph" is the selected one.
# A look-up holds on to the tree it first saw, so each try is a process of its own.
tabs=""
for _ in $(seq 1 40); do
  if grep -q '^\*\*\*\* Set2 OK' "$work/out.txt" &&
    tabs=$(/usr/bin/python3 "$here/readouts.py" kelvaro-monitor tabs --wait 0 2>/dev/null) &&
    grep -q '\[Live Graph\]' <<<"$tabs"; then
    break
  fi
  tabs=""
  sleep 0.5
done
[ -n "$tabs" ] || fail "the belt never streamed on \"Live Graph\""
echo "page tabs while the belt streams:"
echo "$tabs"
main=$(grep 'Settings' <<<"$tabs")
[ "$main" = "Settings | [Live Graph] | Gaming Key Activation | Activity Monitor | Breathing Guide | Activity History" ] ||
  fail "the window's page tabs are: $main"
# Neither hidden page's caption ("Connection", and the one that ends in " Setting") in any tab list.
grep -qE 'Connection| Setting( |$)' <<<"$tabs" && fail "a hidden page is offered: $tabs"

# Through the loss, 8 s after the connection, and the reconnect after it.
/usr/bin/python3 "$here/readouts.py" kelvaro-monitor watch 14 --wait 0 >"$work/watch.txt" || fail "no read-outs"
grep -q '^Link lost' "$work/out.txt" || fail "the link was never lost"
grep -q '^Link back' "$work/out.txt" || fail "the link never came back"
echo "read-outs through the loss:"
cat "$work/watch.txt"
number='-?[0-9]+'
live="F1=$number F2=$number battery=[0-9]+,enabled,$"
lost="F1=--- F2=--- battery=[0-9]+,greyed,Belt $belt out of reach"
awk -v live="$live" -v lost="$lost" '
  { line = substr($0, index($0, " ") + 1) }
  phase == 0 && line ~ "^" live { phase = 1 }
  phase == 1 && line ~ "^" lost { phase = 2 }
  phase == 2 && line ~ "^" live { phase = 3 }
  END { exit phase == 3 ? 0 : 1 }' "$work/watch.txt" ||
  fail "not current, then not current during the loss, then current again"
echo ok
