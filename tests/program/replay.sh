#!/usr/bin/env bash
# A capture written while the real program recorded the built-in simulator, played back through
# the real program with --replay, gives the same recorded rows:
#   replay.sh MONITOR SPEED
# Both runs press "Start Log" at start (--start-log), so both recordings begin with the first
# plotted sample of the connection; the rows (forces, accelerations, battery, temperature) must
# be the same, row by row, and the replay's stream must take the capture's time divided by SPEED.
# Needs no display (offscreen).
set -euo pipefail
monitor="$(realpath "$1")"
speed="$2"
belt=000780008D83
work="$(mktemp -d)"
pid=""
cleanup() {
  [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "$1"
  for run in original replay; do
    echo "--- $run"; tail -15 "$work/$run/out.txt" 2>/dev/null
  done
  exit 1
}
now() { date +%s.%N; }
export QT_QPA_PLATFORM=offscreen
mkdir -p "$work/original/home" "$work/replay/home"
capture="$work/belt.capture"

# The original: 3 s of the simulated belt, recorded and captured, then SIGTERM.
cd "$work/original"
"$monitor" --home home --simulate --connect=$belt --capture="$capture" --start-log \
  --console-to-stderr >out.txt 2>&1 &
pid=$!
notifications() {
  if [ -f "$capture" ]; then grep -c ' 80 15 04 05 ' "$capture" || true; else echo 0; fi
}
for _ in $(seq 1 300); do
  [ "$(notifications)" -ge 60 ] && break
  kill -0 "$pid" 2>/dev/null || fail "the original run ended by itself"
  sleep 0.1
done
[ "$(notifications)" -ge 60 ] || fail "too few notifications in the capture: $(notifications)"
kill -TERM "$pid"
wait "$pid" || fail "the original run did not end in order"
pid=""
grep -q '^Capture ended: ' out.txt || fail "the capture was not ended"
# The belt's streaming time in the capture: from the first notification to the last.
seconds=$(awk '/ 80 15 04 05 / { if (!first) first = $1; last = $1 } END { printf "%.3f", (last - first) / 1e6 }' "$capture")

# The replay: until the recording is over and the belt goes out of reach.
cd "$work/replay"
"$monitor" --home home --replay="$capture" --speed="$speed" --connect=$belt --start-log \
  --console-to-stderr >out.txt 2>&1 &
pid=$!
streaming="" over=""
for _ in $(seq 1 600); do
  [ -z "$streaming" ] && grep -q '^\*\*\*\* Set2 OK' out.txt && streaming=$(now)
  if grep -q '^Link lost: supervision time-out (0x0208)' out.txt; then
    over=$(now)
    break
  fi
  kill -0 "$pid" 2>/dev/null || fail "the replay ended by itself"
  sleep 0.05
done
[ -n "$streaming" ] && [ -n "$over" ] || fail "the replay never came to its end"
kill -TERM "$pid"
wait "$pid" || fail "the replay did not end in order"
pid=""

rows=$(grep -c $'\r$' "$work/original/File Name.csv" || true)
played=$(grep -c $'\r$' "$work/replay/File Name.csv" || true)
took=$(awk -v a="$streaming" -v b="$over" 'BEGIN { printf "%.3f", b - a }')
echo "speed=$speed captured=$(notifications) notifications over ${seconds}s; rows original=$rows replay=$played; the replay streamed for ${took}s"
[ "$rows" -ge 40 ] || fail "too few rows in the original: $rows"
cmp "$work/original/File Name.csv" "$work/replay/File Name.csv" ||
  fail "the replay recorded other rows: $(diff "$work/original/File Name.csv" "$work/replay/File Name.csv" | head -6)"
# The stream took the capture's time divided by the speed: not much less (it is paced), and not
# much more (the end comes as the dongle's disconnected event, right after the last one). Both
# ends are seen by the poll above, every 50 ms and later on a loaded machine: at ten times the
# speed that is a third of the whole stream, hence the 0.1 s of slack below.
awk -v took="$took" -v s="$seconds" -v speed="$speed" 'BEGIN {
  want = s / speed
  exit !(took >= want * 0.8 - 0.1 && took <= want * 1.3 + 1.5)
}' || fail "the replay streamed for ${took}s, not about $(awk -v s="$seconds" -v speed="$speed" 'BEGIN { print s / speed }')s"
echo ok
