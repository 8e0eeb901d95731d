#!/usr/bin/env bash
# The whole monitor under load: kelvaro-monitor runs under Xvfb against kelvaro-belt-sim on a
# pseudo-terminal (the real serial-port path), connected to the simulated belt with the Live
# Graph page showing, and this script reports per rate the CPU share of one core, notifications
# handled per second, the backlog left in the port and the resident memory at start and end.
#
# Usage: bench/monitor_load.sh [options]   (see --help)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$here/../build/bench-prog"
cases=(20 flood)
seconds=30           # measuring window at a fixed rate
flood_count=13824    # notifications in the window at flood (30 s of the wire's 460.8 a second)
warmup=5             # seconds after the first notification before the window opens
seed=1
range=""            # MIN:MAX of the force axis; empty: the program's default (0 to 65535)
shots=""
check=0
record=0
a11y=0
syscalls=0
callgrind=""       # folder for an instruction profile of the window, one file per rate

usage() {
  cat <<EOF
Usage: bench/monitor_load.sh [options]
Runs kelvaro-monitor under Xvfb against kelvaro-belt-sim and reports its load per rate.

  --build DIR        build folder with src/app/kelvaro-monitor and src/sim/tool/kelvaro-belt-sim
                     (default: build/bench-prog)
  --rates "R ..."    rates to run, each a number of notifications a second or flood
                     (default: "20 flood")
  --seconds S        window at a fixed rate, in seconds of the simulator's clock (default 30)
  --flood-count N    window at flood, in notifications sent (default 13824, about 30 s)
  --warmup S         seconds from the first notification to the window (default 5)
  --seed N           the simulator's seed (default 1)
  --range MIN:MAX    force axis range in grams, e.g. -300:300 so that the breathing wave fills
                     the chart (default: the program's own, 0 to 65535, where it is a flat line)
  --record           record the measurements to a CSV file throughout ("Start Log" pressed over
                     AT-SPI once the belt streams; needs dbus-run-session and python3-pyatspi)
  --a11y             run with the accessibility bridge on (an AT-SPI bus of its own, as for
                     --record; needs dbus-run-session and python3-pyatspi)
  --syscalls         count the monitor's system calls over the window (strace -c -f; the CPU
                     figure then includes strace's own cost)
  --callgrind DIR    run the monitor under valgrind's callgrind, counting instructions over the
                     window only, into DIR/monitor-RATE.callgrind (the CPU figures are then
                     callgrind's, many times the program's own; read the file with
                     callgrind_annotate --inclusive=yes)
  --shots DIR        save a screenshot of the screen after each window as DIR/monitor-RATE.png
  --check            exit with status 3 when a goal is missed (goals: at flood no backlog and at
                     most 5 % of one core, at 20 a second or less at most 1.5 %, memory flat)
EOF
}

all_args=("$@")
while [[ $# -gt 0 ]]; do
  case "$1" in
    --build) build="$2"; shift 2 ;;
    --rates) read -r -a cases <<<"$2"; shift 2 ;;
    --seconds) seconds="$2"; shift 2 ;;
    --flood-count) flood_count="$2"; shift 2 ;;
    --warmup) warmup="$2"; shift 2 ;;
    --seed) seed="$2"; shift 2 ;;
    --range) range="$2"; shift 2 ;;
    --shots) shots="$2"; shift 2 ;;
    --check) check=1; shift ;;
    --record) record=1; shift ;;
    --a11y) a11y=1; shift ;;
    --syscalls) syscalls=1; shift ;;
    --callgrind) callgrind="$2"; shift 2 ;;
    -h|--help) usage; exit 0 ;;
    *) echo "monitor_load.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done

# A recording is started over AT-SPI: the program and this script share a D-Bus session of their
# own, with the accessibility bus up before the program starts.
# shellcheck source=bench/lib.sh
source "$here/lib.sh"
((record || a11y)) && kelvaro_a11y_session "$0" "${all_args[@]}"
kelvaro_tools monitor_load.sh "$build"
command -v python3 >/dev/null || { echo "monitor_load.sh: python3 is missing" >&2; exit 2; }
if ((syscalls)); then
  command -v strace >/dev/null || { echo "monitor_load.sh: --syscalls needs strace" >&2; exit 2; }
fi
if [[ -n "$callgrind" ]]; then
  command -v callgrind_control >/dev/null || { echo "monitor_load.sh: --callgrind needs valgrind" >&2; exit 2; }
  mkdir -p "$callgrind"
  callgrind=$(cd "$callgrind" && pwd)
fi
if [[ -n "$shots" ]]; then
  command -v import >/dev/null || { echo "monitor_load.sh: --shots needs import (imagemagick)" >&2; exit 2; }
  mkdir -p "$shots"
fi

readonly packet=25  # one notification on the wire: 4 header bytes, 5 of attribute event, 16 of value
clk_tck=$(getconf CLK_TCK)
work=""
sim_pid=""
monitor_pid=""
tail_pid=""
xvfb_run_pid=""
strace_pid=""
stats_fd=""

stop_case() {
  # Only what this script started, by its id; the monitor first, so that it closes the port.
  stop_strace
  stop_monitor "$monitor_pid"
  if [[ -n "$xvfb_run_pid" ]]; then wait "$xvfb_run_pid" 2>/dev/null || true; fi
  if [[ -n "$tail_pid" ]]; then
    exec {stats_fd}<&-
    kill "$tail_pid" 2>/dev/null || true
  fi
  if [[ -n "$sim_pid" ]]; then
    kill -TERM "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  monitor_pid="" sim_pid="" tail_pid="" xvfb_run_pid=""
  [[ -n "$work" && -d "$work" ]] && rm -rf "$work"
  work=""
}
trap stop_case EXIT
trap 'exit 130' INT TERM

# Bytes the program has not read yet from its end of the pseudo-terminal. Opening the device a
# second time does not disturb the program's handle (as root, even if it asked for exclusive use).
pty_queue() {
  python3 - "$1" <<'EOF'
import fcntl, os, struct, sys, termios
fd = os.open(sys.argv[1], os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK)
try:
    print(struct.unpack("i", fcntl.ioctl(fd, termios.FIONREAD, b"\0\0\0\0"))[0])
finally:
    os.close(fd)
EOF
}

# Busy and total jiffies of the whole machine, for the load beside the program.
machine_ticks() {
  awk '$1 == "cpu" { print $2 + $3 + $4 + $7 + $8 + $9, $2 + $3 + $4 + $5 + $6 + $7 + $8 + $9 }' /proc/stat
}

# Fields of a "stats ..." line of the simulator into the associative array named by $2.
parse_stats() {
  local -n into=$2
  local word
  into=()
  for word in $1; do
    # shellcheck disable=SC2034  # written through the name reference
    [[ "$word" == *=* ]] && into[${word%%=*}]=${word#*=}
  done
  return 0
}

# The next "stats" line of the simulator into the array named by $1; false when none comes.
next_stats() {
  local line
  while read -r -t 10 -u "$stats_fd" line; do
    if [[ "$line" == stats\ * ]]; then
      parse_stats "$line" "$1"
      return 0
    fi
  done
  echo "rate $rate: the simulator went quiet" >&2
  return 1
}

# Bytes that have gone into the pseudo-terminal: sent on the wire, less those dropped by a fault,
# lost because nobody read, and those still waiting in the simulator.
delivered() {
  local -n s=$1
  local wire=${s[wire]} dropped=${s[dropped]} lost=${s[lost]} waiting=${s[waiting]}
  echo $((wire - dropped - lost - waiting))
}

# Rows in the case's recording so far (0 without one).
recorded_rows() {
  if [[ -f "$work/File Name.csv" ]]; then grep -c $'\r$' "$work/File Name.csv" || true; else echo 0; fi
}

# Detaches strace, which then writes its counts.
stop_strace() {
  [[ -n "$strace_pid" ]] || return 0
  kill -INT "$strace_pid" 2>/dev/null || true
  wait "$strace_pid" 2>/dev/null || true
  strace_pid=""
}

report_header_done=0
run_case() {
  local rate=$1
  work=$(mktemp -d /tmp/kelvaro-load.XXXXXX)
  local home="$work/home" link="$work/belt"
  kelvaro_pty_home "$home" "$link"
  [[ -n "$range" ]] && printf 'Min=%s\nMax=%s\n' "${range%%:*}" "${range#*:}" >>"$home/Darev.ini"

  "$sim" --rate "$rate" --link "$link" --seed "$seed" --stats >"$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  local belt=""
  for _ in $(seq 100); do
    belt=$(sed -n 's/^belt //p' "$work/sim.out" | head -n 1)
    [[ -n "$belt" ]] && break
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
  done
  [[ -n "$belt" ]] || { echo "rate $rate: the simulator did not start: $(cat "$work/sim.err")" >&2; return 1; }

  local profiler=()
  if [[ -n "$callgrind" ]]; then
    profiler=(valgrind -q --tool=callgrind --instr-atstart=no
      "--callgrind-out-file=$callgrind/monitor-$rate.callgrind")
  fi
  # The program's own pid, display and X authority, from inside xvfb-run.
  # shellcheck disable=SC2016  # expanded by the inner shell
  # From the case's folder, where a recording lands.
  xvfb-run -a -s "-screen 0 1280x1024x24" \
    sh -c 'echo "$$ $DISPLAY $XAUTHORITY" >"$0/monitor.id"; cd "$0"; shift; exec "$@"' "$work" - \
    "${profiler[@]}" "$monitor" --home "$home" --connect="$belt" >"$work/monitor.out" 2>"$work/monitor.err" &
  xvfb_run_pid=$!
  local display="" xauth=""
  for _ in $(seq 100); do
    [[ -s "$work/monitor.id" ]] && read -r monitor_pid display xauth <"$work/monitor.id" && break
    sleep 0.1
  done
  [[ -n "$monitor_pid" ]] || { echo "rate $rate: the monitor did not start" >&2; return 1; }

  # Stats lines as they come; everything below reads them one at a time.
  exec {stats_fd}< <(exec tail -n +1 -f "$work/sim.out")
  tail_pid=$!

  # The connection is up when the belt's first notification has gone out.
  local -A first=() start=() stop=()
  local deadline=$((SECONDS + 60))
  while next_stats first && ((first[notifications] == 0)); do
    kill -0 "$monitor_pid" 2>/dev/null || { echo "rate $rate: the monitor ended: $(cat "$work/monitor.err")" >&2; return 1; }
    ((SECONDS < deadline)) || { echo "rate $rate: no connection within 60 s" >&2; return 1; }
  done
  ((${first[notifications]:-0} > 0)) || return 1
  if ((record)); then
    local pressed=0
    for _ in $(seq 30); do
      /usr/bin/python3 "$here/../tests/program/press.py" kelvaro-monitor "Start Log" --wait 0 \
        2>/dev/null && { pressed=1; break; }
      sleep 1
    done
    ((pressed)) || { echo "rate $rate: no \"Start Log\" over AT-SPI" >&2; return 1; }
  fi

  # Warm up, then open the window on the arrival of a stats line.
  local open_at
  open_at=$(awk -v t="${first[t]}" -v w="$warmup" 'BEGIN { print t + w }')
  while next_stats start; do
    awk -v t="${start[t]}" -v o="$open_at" 'BEGIN { exit !(t >= o) }' && break
  done
  [[ -n "${start[t]:-}" ]] || return 1
  local wall0=$EPOCHREALTIME cpu0 rss0 xvfb_pid xcpu0 scpu0 machine0 load0 queue0
  cpu0=$(cpu_ticks "$monitor_pid")
  scpu0=$(cpu_ticks "$sim_pid")
  machine0=$(machine_ticks)
  rss0=$(rss_kib "$monitor_pid" VmRSS)
  xvfb_pid=$(pgrep -P "$xvfb_run_pid" -x Xvfb || true)
  xcpu0=$([[ -n "$xvfb_pid" ]] && cpu_ticks "$xvfb_pid" || echo 0)
  load0=$(cut -d' ' -f1-3 /proc/loadavg)
  queue0=$(pty_queue "$link")
  local rows0
  rows0=$(recorded_rows)
  [[ -n "$callgrind" ]] && callgrind_control -i on "$monitor_pid" >/dev/null
  if ((syscalls)); then
    strace -c -f -q -p "$monitor_pid" -o "$work/strace.txt" &
    strace_pid=$!
  fi

  # The window: a fixed time at a set rate, a fixed number of notifications at flood.
  local close_at
  if [[ "$rate" == flood ]]; then
    close_at=$((start[notifications] + flood_count))
  else
    close_at=$(awk -v t="${start[t]}" -v s="$seconds" 'BEGIN { print t + s - 0.5 }')
  fi
  local max_waiting=0 closed=0
  while next_stats stop; do
    ((stop[waiting] > max_waiting)) && max_waiting=${stop[waiting]}
    if [[ "$rate" == flood ]]; then
      ((stop[notifications] >= close_at)) && { closed=1; break; }
    else
      awk -v t="${stop[t]}" -v c="$close_at" 'BEGIN { exit !(t >= c) }' && { closed=1; break; }
    fi
  done
  ((closed)) || return 1
  stop_strace
  [[ -n "$callgrind" ]] && callgrind_control -i off "$monitor_pid" >/dev/null
  local wall1=$EPOCHREALTIME cpu1 rss1 xcpu1 scpu1 machine1 load1 queue1
  cpu1=$(cpu_ticks "$monitor_pid")
  machine1=$(machine_ticks)
  rss1=$(rss_kib "$monitor_pid" VmRSS)
  xcpu1=$([[ -n "$xvfb_pid" ]] && cpu_ticks "$xvfb_pid" || echo 0)
  scpu1=$(cpu_ticks "$sim_pid")
  load1=$(cut -d' ' -f1-3 /proc/loadavg)
  queue1=$(pty_queue "$link")
  local rows1
  rows1=$(recorded_rows)

  if [[ -n "$shots" ]]; then
    DISPLAY="$display" XAUTHORITY="$xauth" import -window root "$shots/monitor-$rate.png" ||
      echo "rate $rate: no screenshot" >&2
  fi

  local d0 d1 verdict
  d0=$(delivered start)
  d1=$(delivered stop)
  awk -v rate="$rate" -v t0="${start[t]}" -v t1="${stop[t]}" -v w0="$wall0" -v w1="$wall1" \
    -v c0="$cpu0" -v c1="$cpu1" -v hz="$clk_tck" -v x0="$xcpu0" -v x1="$xcpu1" \
    -v s0="$scpu0" -v s1="$scpu1" -v n0="${start[notifications]}" -v n1="${stop[notifications]}" \
    -v d0="$d0" -v d1="$d1" -v q0="$queue0" -v q1="$queue1" -v pk="$packet" \
    -v sw="${stop[waiting]}" -v mw="$max_waiting" -v lost="$((stop[lost] - start[lost]))" \
    -v r0="$rss0" -v r1="$rss1" -v m0="$machine0" -v m1="$machine1" \
    -v l0="$load0" -v l1="$load1" -v hdr="$report_header_done" '
    BEGIN {
      split(m0, a, " "); split(m1, b, " ")
      sim = t1 - t0; wall = w1 - w0
      cpu = 100 * (c1 - c0) / hz / wall
      xcpu = 100 * (x1 - x0) / hz / wall
      # Everything else the machine did meanwhile, in shares of one core.
      other = 100 * ((b[1] - a[1]) - (c1 - c0) - (x1 - x0) - (s1 - s0)) / hz / wall
      if (other < 0) other = 0
      sent = (n1 - n0) / sim
      handled = ((d1 - q1) - (d0 - q0)) / pk / sim
      backlog = q1 + sw
      # FIONREAD sees at most 4095 bytes; a full queue hides more in the kernel.
      more = (q1 >= 4095) ? "+" : " "
      if (!hdr) {
        printf "%-6s %7s %7s %7s %9s %8s %17s %6s %7s  %s\n", "rate", "window", "CPU", \
          "sent/s", "handled/s", "backlog", "RSS start -> end", "Xvfb", "others", \
          "load average (start -> end)"
      }
      printf "%-6s %6.1fs %6.2f%% %7.1f %9.1f %6dB%s %7d -> %6d kB %5.1f%% %6.0f%%  %s -> %s\n", \
        rate, sim, cpu, sent, handled, backlog, more, r0, r1, xcpu, other, l0, l1
      limit = (rate == "flood" || rate + 0 > 20) ? 5 : 1.5
      keeps_up = backlog < 1024 && lost == 0 && mw == 0
      grown = r1 - r0
      printf "       goals: CPU <= %g%% %s; backlog %s; memory %s (%+d kB)\n", limit, \
        cpu <= limit ? "met" : "MISSED", \
        keeps_up ? "none" : sprintf("MISSED (%d bytes lost, up to %d waited in the simulator)", lost, mw), \
        grown <= 1024 ? "flat" : "GREW", grown
      exit !(cpu <= limit && keeps_up && grown <= 1024)
    }' && verdict=0 || verdict=1
  if ((record)); then
    awk -v r0="$rows0" -v r1="$rows1" -v w0="$wall0" -v w1="$wall1" \
      'BEGIN { printf "       recorded: %d rows in the window, %.1f a second\n", r1 - r0, (r1 - r0) / (w1 - w0) }'
    ((rows1 > rows0)) || verdict=1
  fi
  if ((syscalls)) && [[ -s "$work/strace.txt" ]]; then
    awk -v w="$(awk -v w0="$wall0" -v w1="$wall1" 'BEGIN { print w1 - w0 }')" '
      $1 ~ /^[0-9.]+$/ && NF >= 5 && $NF != "total" { calls[$NF] = $4 }
      END {
        n = 0
        for (c in calls) order[++n] = c
        for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++)
          if (calls[order[j]] > calls[order[i]]) { t = order[i]; order[i] = order[j]; order[j] = t }
        line = ""
        for (i = 1; i <= n && i <= 10; i++)
          line = line sprintf(" %s %.0f", order[i], calls[order[i]] * 10 / w)
        printf "       system calls per 10 s:%s\n", line
      }' "$work/strace.txt"
  fi
  report_header_done=1
  stop_case
  ((verdict == 0)) || missed=1
}

missed=0
for rate in "${cases[@]}"; do
  run_case "$rate" || { stop_case; exit 1; }
done
if ((check && missed)); then exit 3; fi
