#!/usr/bin/env bash
# A scenario the simulator does not know is refused at start, without a display:
#   mistyped_scenario.sh MONITOR
# The simulator's own message on standard error, the usage exit code, and no window: with no
# display at all, a program that went on to create its window would fail differently.
set -uo pipefail
monitor="$(realpath "$1")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/home"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$monitor" --home "$work/home" \
  --simulate=bogus:10 >"$work/out.txt" 2>"$work/err.txt"
code=$?
expected='kelvaro-monitor: unknown scenario "bogus" (breathing, shallow, apnea, hold, moving, off)'
status=0
if [ "$code" -ne 1 ]; then
  echo "exit code $code, not 1"
  status=1
fi
if [ "$(head -n 1 "$work/err.txt")" != "$expected" ]; then
  echo "standard error begins otherwise:"
  head -n 3 "$work/err.txt"
  status=1
fi
if [ -s "$work/out.txt" ]; then
  echo "standard output is not empty:"
  cat "$work/out.txt"
  status=1
fi
if [ -n "$(ls -A "$work/home")" ]; then
  echo "the program wrote into its home:"
  ls -A "$work/home"
  status=1
fi
exit "$status"
