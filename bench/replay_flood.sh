#!/usr/bin/env bash
# A recorded belt played as fast as the wire carries, through the whole program:
#   bench/replay_flood.sh [--build DIR] [--seconds S] [--speed X|flood] [--capture FILE] [--keep DIR]
# First a capture at the wire's full rate: the monitor on kelvaro-belt-sim --rate flood over a
# pseudo-terminal, with --capture, for S seconds (default 20). Then that capture played by
# kelvaro-monitor --replay --speed=flood (the in-process recorded belt), connected, on the Live
# Graph page at the window's default size, recording every row (--start-log), under Xvfb.
# Reports the notifications a second from the connection to the end of the recording, the rows
# against the capture's notifications (the first 11 of a connection, and 2 after each automatic
# session start, zero the forces and are held back from the graph and the rows), the notifications
# missing between rows (the belt's sample tag counts up by one a notification) and the monitor's
# CPU meanwhile; --keep DIR keeps the capture, the console and the rows there. Build in
# release first (cmake --preset release).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=bench/lib.sh
source "$here/lib.sh"
build="$here/../build/release"
seconds=20
speed=flood
capture=""
keep=""
while [[ $# -gt 0 ]]; do
  case "$1" in
    --build) build="$2"; shift 2 ;;
    --seconds) seconds="$2"; shift 2 ;;
    --speed) speed="$2"; shift 2 ;;
    --capture) capture="$(realpath "$2")"; shift 2 ;;
    --keep) keep="$(realpath -m "$2")"; shift 2 ;;
    -h|--help) sed -n '2,11p' "$0"; exit 0 ;;
    *) echo "replay_flood.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
build="$(realpath "$build")"
kelvaro_tools replay_flood.sh "$build"
if [[ -z "${KELVARO_ON_DISPLAY:-}" ]]; then
  export KELVARO_ON_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --build "$build" --seconds "$seconds" \
    --speed "$speed" ${capture:+--capture "$capture"} ${keep:+--keep "$keep"}
fi
unset QT_QPA_PLATFORM

work="$(mktemp -d)"
sim_pid="" pid=""
cleanup() {
  stop_monitor "$pid"
  [[ -n "$sim_pid" ]] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
now() { date +%s.%N; }

if [[ -z "$capture" ]]; then
  capture="$work/flood.capture"
  kelvaro_pty_home "$work/home" "$work/dongle"
  "$sim" --link "$work/dongle" --others 0 --rate flood >"$work/sim.txt" 2>&1 &
  sim_pid=$!
  belt=""
  for _ in $(seq 100); do
    belt=$(sed -n 's/^belt //p' "$work/sim.txt" | head -n 1)
    [[ -n "$belt" && -e "$work/dongle" ]] && break
    sleep 0.1
  done
  (cd "$work" && exec "$monitor" --home home --connect="$belt" --capture="$capture" \
    --console-to-stderr >capture.txt 2>&1) &
  pid=$!
  for _ in $(seq 300); do grep -q '^\*\*\*\* Set2 OK' "$work/capture.txt" && break; sleep 0.1; done
  sleep "$seconds"
  stop_monitor "$pid"
  wait "$pid" 2>/dev/null || true
  pid=""
  kill "$sim_pid"; wait "$sim_pid" 2>/dev/null || true; sim_pid=""
fi
bytes=$(wc -c <"$capture")

# The recorded belt's ID and its notifications, as the simulator playing the capture names them
# ("belt ID", "replay FILE N notifications S s").
"$sim" --replay "$capture" --link "$work/probe" >"$work/probe.txt" 2>&1 &
probe=$!
for _ in $(seq 100); do grep -q '^replay ' "$work/probe.txt" && break; sleep 0.05; done
kill "$probe"; wait "$probe" 2>/dev/null || true
belt=$(sed -n 's/^belt //p' "$work/probe.txt" | head -n 1)
notifications=$(awk '/^replay / { print $3; exit }' "$work/probe.txt")
[[ -n "$belt" && -n "$notifications" ]] || { echo "replay_flood.sh: no belt in $capture" >&2; exit 1; }

mkdir -p "$work/replay/home"
cd "$work/replay"
"$monitor" --home home --replay="$capture" --speed="$speed" \
  --connect="$belt" \
  --start-log --console-to-stderr >out.txt 2>&1 &
pid=$!
started="" cpu0=0
for _ in $(seq 3000); do
  if [[ -z "$started" ]] && grep -q '^\*\*\*\* Set2 OK' out.txt; then
    started=$(now); cpu0=$(cpu_ticks "$pid")
  fi
  grep -q '^Link lost: supervision time-out (0x0208)' out.txt && break
  sleep 0.02
done
ended=$(now)
cpu1=$(cpu_ticks "$pid")
stop_monitor "$pid"
wait "$pid" 2>/dev/null || true
pid=""
rows=$(grep -c $'\r$' "File Name.csv" || true)
if [[ -n "$keep" ]]; then
  # The capture and the replay's console and rows, to look at afterwards.
  mkdir -p "$keep"
  cp "$capture" out.txt "File Name.csv" "$keep/"
fi
hz=$(getconf CLK_TCK)
# Gaps in the rows' sample tags (hexadecimal, counting up by one a notification, modulo 256).
missing=$(awk -F';' '
  function hex(t,   i, n) { n = 0; for (i = 1; i <= 2; i++) n = n * 16 + index("0123456789ABCDEF", substr(t, i, 1)) - 1; return n }
  { t = hex($1); if (NR > 1) { d = (t - p + 256) % 256; if (d != 1) { gaps++; lost += (d + 255) % 256 } } p = t }
  END { printf "%d in %d gaps", lost, gaps }' "File Name.csv")
awk -v n="$notifications" -v b="$bytes" -v r="$rows" -v a="$started" -v e="$ended" \
  -v c0="$cpu0" -v c1="$cpu1" -v hz="$hz" -v speed="$speed" -v missing="$missing" 'BEGIN {
  t = e - a
  printf "capture: %d notifications, %d bytes (%.1f bytes a notification, every line counted)\n", n, b, b / n
  printf "replay --speed=%s: %d rows of %d notifications in %.2f s; between rows %s (an automatic session start holds 2 back)\n", speed, r, n, t, missing
  printf "         %.0f notifications a second through the whole program; monitor CPU %.0f%% of a core\n", n / t, 100 * (c1 - c0) / hz / t
}'
