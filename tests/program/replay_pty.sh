#!/usr/bin/env bash
# A lost link, captured through the real serial path and played back through it:
#   replay_pty.sh MONITOR SIMULATOR
# The real program captures kelvaro-belt-sim on a pseudo-terminal whose belt drops its link 2 s
# after each connection, through one loss and the reconnect. Then kelvaro-belt-sim --replay plays
# that capture on a pseudo-terminal, and the real program, on its serial port, loses the link
# where the capture did (the same reason), gets it back, records the same rows, and at the end
# of the recording loses the belt for good. Needs no display (offscreen).
set -euo pipefail
monitor="$(realpath "$1")"
sim="$(realpath "$2")"
work="$(mktemp -d)"
sim_pid="" pid=""
cleanup() {
  [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "$1"
  for run in original replay; do
    echo "--- $run"; tail -12 "$work/$run/out.txt" 2>/dev/null; tail -3 "$work/$run/sim.txt" 2>/dev/null
  done
  exit 1
}
export QT_QPA_PLATFORM=offscreen
capture="$work/belt.capture"

# One run: the simulator with its arguments on the link $work/$run/dongle, the program on it.
start() {
  local run="$1"
  shift
  mkdir -p "$work/$run/home"
  cd "$work/$run"
  printf '[ComPort1]\nPort=%s\nBaudRate=115200\nStopBits=1\nDataBits=8\nParity=None\nFlowControl=None\n' \
    "$work/$run/dongle" >home/ComPort.ini
  printf '[GLOBAL]\nAutoComPort=0\n' >home/Darev.ini
  "$sim" --link "$work/$run/dongle" --others 0 "$@" >sim.txt 2>&1 &
  sim_pid=$!
  belt=""
  for _ in $(seq 1 100); do
    belt=$(sed -n 's/^belt //p' sim.txt | head -n 1)
    [ -n "$belt" ] && [ -e "$work/$run/dongle" ] && break
    sleep 0.1
  done
  [ -n "$belt" ] || fail "the simulator did not start ($run)"
}
wait_for() {
  local pattern="$1" file="$2"
  for _ in $(seq 1 300); do
    grep -q "$pattern" "$file" && return 0
    kill -0 "$pid" 2>/dev/null || fail "the program ended by itself"
    sleep 0.05
  done
  fail "never: $pattern"
}
stop() {
  kill -TERM "$pid"
  wait "$pid" || fail "the program did not end in order"
  pid=""
  kill "$sim_pid"
  wait "$sim_pid" || true
  sim_pid=""
}

start original --link-loss 2
original_belt=$belt
"$monitor" --home home --connect="$belt" --capture="$capture" --start-log --console-to-stderr \
  >out.txt 2>&1 &
pid=$!
wait_for '^Link lost: supervision time-out (0x0208)' out.txt
wait_for '^Link back' out.txt
sleep 1  # a second of the stream after the reconnect, less than the next loss
stop

start replay --replay "$capture"
[ "$belt" = "$original_belt" ] || fail "the recorded belt is $belt, not $original_belt"
grep -q "^replay $capture [0-9]* notifications" sim.txt || fail "the simulator does not say what it plays"
"$monitor" --home home --connect="$belt" --start-log --console-to-stderr >out.txt 2>&1 &
pid=$!
wait_for '^Link lost: supervision time-out (0x0208)' out.txt
wait_for '^Link back' out.txt
wait_for '^replay over' sim.txt
for _ in $(seq 1 60); do
  [ "$(grep -c '^Link lost: supervision time-out (0x0208)' out.txt)" -ge 2 ] && break
  sleep 0.05
done
losses=$(grep -c '^Link lost: supervision time-out (0x0208)' out.txt || true)
stop

rows=$(grep -c $'\r$' "$work/original/File Name.csv" || true)
played=$(grep -c $'\r$' "$work/replay/File Name.csv" || true)
echo "belt $belt: rows original=$rows replay=$played; losses in the replay: $losses"
[ "$losses" -eq 2 ] || fail "the replay lost its link $losses times, not at the captured loss and at the end"
[ "$rows" -ge 30 ] || fail "too few rows in the original: $rows"
cmp "$work/original/File Name.csv" "$work/replay/File Name.csv" ||
  fail "the replay recorded other rows: $(diff "$work/original/File Name.csv" "$work/replay/File Name.csv" | head -6)"
echo ok
