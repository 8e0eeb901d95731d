#!/usr/bin/env bash
# The real program records on the built-in simulator, and its way out is hard:
#   recording.sh MONITOR kill|term
# "kill": SIGKILL after 2 s of recording: every row written is in the file, whole.
# "term": SIGTERM after 2 s: the program closes in order; all rows, the file closed.
# Runs its own D-Bus session and X server, and presses "Start Log" over AT-SPI.
set -euo pipefail
monitor="$(realpath "$1")"
way="$2"
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
trap 'rm -rf "$work" "$XDG_RUNTIME_DIR"' EXIT
mkdir -p "$work/home"
cd "$work"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
unset QT_QPA_PLATFORM
# The accessibility bus first, so that the program joins it as it starts.
env -u DISPLAY /usr/bin/python3 -c 'import pyatspi; pyatspi.Registry.getDesktop(0)'
"$monitor" --home "$work/home" --simulate --connect=000780008D83 >"$work/out.txt" 2>&1 &
pid=$!

# The belt streams once the Live Graph shows; then the recording starts.
# A look-up holds on to the tree it first saw, so each try is a process of its own.
pressed=
for _ in $(seq 1 30); do
  if /usr/bin/python3 "$here/press.py" kelvaro-monitor "Start Log" --wait 0 2>>"$work/press.err"; then
    pressed=1
    break
  fi
  sleep 1
done
[ -n "$pressed" ] || { echo "no \"Start Log\" button over AT-SPI"; cat "$work/out.txt"; tail -5 "$work/press.err" 2>/dev/null; exit 1; }
for _ in $(seq 1 100); do
  [ -s "File Name.csv" ] && break
  sleep 0.1
done
[ -s "File Name.csv" ] || { echo "no rows after Start Log"; cat "$work/out.txt"; tail -5 "$work/press.err" 2>/dev/null; exit 1; }
sleep 2

case "$way" in
  kill) kill -KILL "$pid" ;;
  term) kill -TERM "$pid" ;;
esac
set +e
wait "$pid"
status=$?
set -e

rows=$(grep -c $'\r$' "File Name.csv" || true)
bytes=$(wc -c <"File Name.csv")
echo "way=$way exit=$status rows=$rows bytes=$bytes"
# Whole rows only: each ends with CR LF and has the row's eight fields.
if [ -n "$(tail -c 2 "File Name.csv" | od -An -tx1 | tr -d ' \n' | grep -v '^0d0a$')" ]; then
  echo "the file does not end with a whole row"; exit 1
fi
bad=$(grep -c -v -E $'^[0-9A-F]{2};[ 0-9.-]{7,};[ 0-9.-]{7,};[ 0-9-]{5,};[ 0-9-]{5,};[ 0-9-]{5,};[ 0-9]{4,};[ 0-9.-]{6,}\r$' "File Name.csv" || true)
[ "$bad" -eq 0 ] || { echo "$bad malformed rows"; exit 1; }
# 2 s at the belt's 20 notifications a second, with room for a slow machine.
[ "$rows" -ge 20 ] || { echo "too few rows: $rows"; exit 1; }
case "$way" in
  kill) [ "$status" -eq 137 ] || { echo "not killed: $status"; exit 1; } ;;
  term)
    [ "$status" -eq 0 ] || { echo "SIGTERM did not end the program in order: $status"; cat "$work/out.txt"; tail -5 "$work/press.err" 2>/dev/null; exit 1; }
    # Closed: nobody holds the file any more, and the window's settings were written back.
    [ -f "$work/home/Darev.ini" ] || { echo "no settings written"; exit 1; }
    ;;
esac
echo ok
