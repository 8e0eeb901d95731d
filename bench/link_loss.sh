#!/usr/bin/env bash
# The lost link from outside: kelvaro-monitor under Xvfb against kelvaro-belt-sim on a
# pseudo-terminal whose belt drops its link (--link-loss) or whose dongle is pulled out and
# plugged in again (--unplug/--replug), with a recording running throughout ("Start Log" pressed
# over AT-SPI). Every line of both programs is timed as it arrives; the report gives, per loss,
# how long until the monitor said so and until it streamed again, and the recording's rows.
#
# Usage: bench/link_loss.sh [--build DIR] [--seconds S] [--check] -- SIMULATOR-FAULTS...
#   bench/link_loss.sh --seconds 600 -- --link-loss 30
#   bench/link_loss.sh --seconds 60 -- --unplug 20 --replug 25
# Goals (--check exits 3 when one is missed): each loss shown within 3.5 s and streaming again
# within 5 s of the simulator allowing it; rows from every connected period, none twice.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$here/../build/bench-prog"
seconds=600
check=0
all_args=("$@")
while [[ $# -gt 0 ]]; do
  case "$1" in
    --build) build="$2"; shift 2 ;;
    --seconds) seconds="$2"; shift 2 ;;
    --check) check=1; shift ;;
    --) shift; break ;;
    -h|--help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "link_loss.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done
faults=("$@")

# shellcheck source=bench/lib.sh
source "$here/lib.sh"
# The program and this script share a D-Bus session, with the accessibility bus up first.
kelvaro_a11y_session "$0" "${all_args[@]}"
kelvaro_tools link_loss.sh "$(realpath "$build")"

work=$(mktemp -d /tmp/kelvaro-link.XXXXXX)
sim_pid="" xvfb_pid=""
cleanup() {
  [[ -n "$xvfb_pid" ]] && { stop_monitor "$(cat "$work/monitor.pid" 2>/dev/null || true)"; wait "$xvfb_pid" 2>/dev/null || true; }
  [[ -n "$sim_pid" ]] && { kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; }
  rm -rf "$work"
}
trap cleanup EXIT

# Each line as it arrives, after the wall-clock second it arrived at.
timed() {
  while IFS= read -r line; do printf '%s %s\n' "$EPOCHREALTIME" "$line"; done
}

home="$work/home"
link="$work/belt"
kelvaro_pty_home "$home" "$link"

"$sim" --link "$link" --others 0 --verbose "${faults[@]}" 2>&1 | timed >"$work/sim.log" &
sim_pid=$!
belt=""
for _ in $(seq 100); do
  belt=$(sed -n 's/^[0-9.]* belt //p' "$work/sim.log" | head -n 1)
  [[ -n "$belt" ]] && break
  sleep 0.1
done
[[ -n "$belt" ]] || { echo "link_loss.sh: the simulator did not start" >&2; cat "$work/sim.log" >&2; exit 1; }

(
  cd "$work"
  xvfb-run -a -s "-screen 0 1280x1024x24" \
    sh -c 'echo $$ >"$0/monitor.pid"; exec "$@"' "$work" \
    "$monitor" --home "$home" --connect="$belt" --console-to-stderr 2>&1 | timed >"$work/monitor.log"
) &
xvfb_pid=$!

pressed=0
for _ in $(seq 60); do
  if grep -q ' \*\*\*\* Set2 OK' "$work/monitor.log" 2>/dev/null &&
    /usr/bin/python3 "$here/../tests/program/press.py" kelvaro-monitor "Start Log" --wait 0 2>/dev/null; then
    pressed=1
    break
  fi
  sleep 1
done
((pressed)) || { echo "link_loss.sh: no connection or no \"Start Log\"" >&2; tail -20 "$work/monitor.log" >&2; exit 1; }

echo "link_loss.sh: running for $seconds s with ${faults[*]:-no faults}" >&2
sleep "$seconds"
stop_monitor "$(cat "$work/monitor.pid")"
wait "$xvfb_pid" 2>/dev/null || true
xvfb_pid=""

python3 - "$work/sim.log" "$work/monitor.log" "$work/File Name.csv" "$check" <<'PY'
import sys
sim_log, monitor_log, csv, check = sys.argv[1:5]

def lines(path):
    out = []
    with open(path, errors="replace") as f:
        for raw in f:
            t, _, text = raw.rstrip("\n").partition(" ")
            try:
                out.append((float(t), text))
            except ValueError:
                pass
    return out

sim = lines(sim_log)
mon = lines(monitor_log)
# When the simulator took the link away, and when it let the belt be reached again.
losses = [t for t, s in sim if "disconnected, reason 0208" in s or s.strip() == "gone"]
allowed = {}
for t, s in sim:
    if s.startswith("device "):
        allowed.setdefault("device", []).append(t)
lost_at = [t for t, s in mon if s.startswith("Link lost:") or s.startswith("Dongle gone:")]
back_at = [t for t, s in mon if s.startswith("Link back:")]
ok = True
print(f"{'loss':>4} {'shown after':>12} {'streaming after':>16}")
for i, t in enumerate(losses):
    shown = next((x - t for x in lost_at if x >= t - 0.05), None)
    # A pulled-out dongle is allowed back when its new device appears.
    ready = t
    later_devices = [d for d in allowed.get("device", []) if d > t]
    if " gone" in " " + [s for u, s in sim if u == t][0] and later_devices:
        ready = later_devices[0]
    back = next((x - ready for x in back_at if x >= ready), None)
    shown_s = f"{shown:.2f} s" if shown is not None else "never"
    back_s = f"{back:.2f} s" if back is not None else "never"
    print(f"{i + 1:>4} {shown_s:>12} {back_s:>16}")
    if shown is None or shown > 3.5 or back is None or back > 5.0:
        ok = False
try:
    with open(csv, "rb") as f:
        rows = f.read().count(b"\r\n")
except FileNotFoundError:
    rows = 0
print(f"losses {len(losses)}, shown {len(lost_at)}, back {len(back_at)}, recorded rows {rows}")
if check == "1" and (not ok or rows == 0):
    sys.exit(3)
PY
