#!/usr/bin/env bash
# The monitor left scanning: kelvaro-monitor runs under Xvfb on the "Connection" page against
# kelvaro-belt-sim on a pseudo-terminal with many other advertisers in range, so every scan
# response leaves a console line; this script samples the program's resident memory and reports
# whether it stays flat once the console is full.
#
# Usage: bench/scan_memory.sh [options]   (see --help)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$here/../build/bench-prog"
minutes=10
others=16
every=30
settle=60
check=0

usage() {
  cat <<USAGE
Usage: bench/scan_memory.sh [options]
Runs kelvaro-monitor under Xvfb, scanning, against kelvaro-belt-sim with other advertisers, and
reports its resident memory over time.

  --build DIR     build folder with src/app/kelvaro-monitor and src/sim/tool/kelvaro-belt-sim
                  (default: build/bench-prog)
  --minutes M     how long to run (default 10)
  --others N      other advertisers in range (default 16)
  --every S       seconds between samples (default 30)
  --settle S      seconds before the reference sample (default 60)
  --check         exit with status 3 when memory grew more than 2 MB after the reference sample
USAGE
}

while [[ $# -gt 0 ]]; do
  case "$1" in
    --build) build="$2"; shift 2 ;;
    --minutes) minutes="$2"; shift 2 ;;
    --others) others="$2"; shift 2 ;;
    --every) every="$2"; shift 2 ;;
    --settle) settle="$2"; shift 2 ;;
    --check) check=1; shift ;;
    -h|--help) usage; exit 0 ;;
    *) echo "scan_memory.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done

# shellcheck source=bench/lib.sh
source "$here/lib.sh"
kelvaro_tools scan_memory.sh "$build"

work=$(mktemp -d /tmp/kelvaro-scan.XXXXXX)
sim_pid=""
monitor_pid=""
xvfb_run_pid=""
cleanup() {
  # Only what this script started; the monitor first, so that it closes the port.
  stop_monitor "$monitor_pid"
  if [[ -n "$xvfb_run_pid" ]]; then wait "$xvfb_run_pid" 2>/dev/null || true; fi
  if [[ -n "$sim_pid" ]]; then
    kill -TERM "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

home="$work/home"
link="$work/belt"
kelvaro_pty_home "$home" "$link"

"$sim" --others "$others" --link "$link" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 100); do [[ -e "$link" ]] && break; sleep 0.1; done
[[ -e "$link" ]] || { echo "the simulator did not start: $(cat "$work/sim.err")" >&2; exit 1; }

# The program's own pid, from inside xvfb-run.
# shellcheck disable=SC2016  # expanded by the inner shell
xvfb-run -a -s "-screen 0 1280x1024x24" \
  sh -c 'echo "$$" >"$0/monitor.id"; shift; exec "$@"' "$work" - \
  "$monitor" --home "$home" >"$work/monitor.out" 2>"$work/monitor.err" &
xvfb_run_pid=$!
for _ in $(seq 100); do
  [[ -s "$work/monitor.id" ]] && read -r monitor_pid <"$work/monitor.id" && break
  sleep 0.1
done
[[ -n "$monitor_pid" ]] || { echo "the monitor did not start" >&2; exit 1; }

clk_tck=$(getconf CLK_TCK)
started=$SECONDS
reference=""
cpu_ref=0
t_ref=0
printf '%8s %10s\n' "time" "RSS"
while ((SECONDS - started < minutes * 60)); do
  sleep "$every"
  kill -0 "$monitor_pid" 2>/dev/null || { echo "the monitor ended: $(cat "$work/monitor.err")" >&2; exit 1; }
  rss=$(rss_kib "$monitor_pid")
  elapsed=$((SECONDS - started))
  printf '%7ds %7d kB\n' "$elapsed" "$rss"
  if [[ -z "$reference" ]] && ((elapsed >= settle)); then
    reference=$rss
    cpu_ref=$(cpu_ticks "$monitor_pid")
    t_ref=$elapsed
  fi
done
[[ -n "$reference" ]] || { echo "the run was shorter than --settle" >&2; exit 1; }
final=$(rss_kib "$monitor_pid")
cpu=$(awk -v c0="$cpu_ref" -v c1="$(cpu_ticks "$monitor_pid")" -v hz="$clk_tck" \
  -v t="$((SECONDS - started - t_ref))" 'BEGIN { printf "%.2f", 100 * (c1 - c0) / hz / t }')
grown=$((final - reference))
verdict=flat
((grown > 2048)) && verdict=GREW
echo "after ${t_ref} s: $reference kB; at the end: $final kB ($grown kB: memory $verdict); CPU $cpu % of a core"
if ((check)) && [[ "$verdict" != flat ]]; then exit 3; fi
