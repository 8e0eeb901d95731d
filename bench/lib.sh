# Shared by the whole-program benchmarks (monitor_load.sh, scan_memory.sh); sourced, not run.

# kelvaro_tools SCRIPT BUILD: sets monitor and sim to the two programs of the build folder; exits
# with status 2, naming SCRIPT, when one is not built or xvfb-run is missing.
kelvaro_tools() {
  local script=$1 build=$2 tool
  monitor="$build/src/app/kelvaro-monitor"
  sim="$build/src/sim/tool/kelvaro-belt-sim"
  for tool in "$monitor" "$sim"; do
    [[ -x "$tool" ]] || { echo "$script: $tool is not built" >&2; exit 2; }
  done
  command -v xvfb-run >/dev/null || { echo "$script: xvfb-run is missing (xvfb)" >&2; exit 2; }
}

# The monitor asked to close (so that it closes its port), then killed if it is still there
# after five seconds.
stop_monitor() {
  local pid=$1
  [[ -n "$pid" ]] && kill -0 "$pid" 2>/dev/null || return 0
  kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$pid" 2>/dev/null || true
}

# CPU ticks (user + system) of a process, all its threads.
cpu_ticks() {
  awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"
}

# A memory figure of a process in kB (VmRSS unless another key of /proc/PID/status is named).
rss_kib() {
  awk -v key="${2:-VmRSS}:" '$1 == key { print $2; found = 1 } END { if (!found) print 0 }' "/proc/$1/status"
}

# kelvaro_pty_home HOME LINK: a settings home whose ComPort.ini names the simulator's link, with
# automatic port discovery off.
kelvaro_pty_home() {
  local home=$1 link=$2
  mkdir -p "$home"
  printf '[ComPort1]\nPort=%s\nBaudRate=115200\nStopBits=1\nDataBits=8\nParity=None\nFlowControl=None\n' \
    "$link" >"$home/ComPort.ini"
  printf '[GLOBAL]\nAutoComPort=0\n' >"$home/Darev.ini"
}

# kelvaro_a11y_session SCRIPT ARGS...: runs the script again inside a D-Bus session of its own
# (once), then brings the accessibility bus up and has the programs started from here join it,
# so that the script can press the program's buttons over AT-SPI (tests/program/press.py).
kelvaro_a11y_session() {
  if [[ -z "${KELVARO_A11Y_DBUS:-}" ]]; then
    export KELVARO_A11Y_DBUS=1
    # The accessibility bus keeps its socket there: one of its own beside other sessions.
    XDG_RUNTIME_DIR="$(mktemp -d)"
    export XDG_RUNTIME_DIR
    exec dbus-run-session -- "$@"
  fi
  export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
  env -u DISPLAY /usr/bin/python3 -c 'import pyatspi; pyatspi.Registry.getDesktop(0)'
}
