#!/usr/bin/env bash
# A capture that holds nothing to play is refused at start, without a display:
#   unplayable_replay.sh MONITOR
# The reader's message names the file and the line, the exit code is the usage one, and no
# window is made (with no display at all, a program that went on would fail otherwise).
set -uo pipefail
monitor="$(realpath "$1")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/home"
printf 'kelvaro-capture 2 program=kelvaro-monitor/9.0 start=2030-01-01T00:00:00.000Z\n' >"$work/new.capture"
status=0
check() {
  local file="$1" expected="$2"
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$monitor" --home "$work/home" \
    --replay="$file" >"$work/out.txt" 2>"$work/err.txt"
  local code=$?
  if [ "$code" -ne 1 ]; then
    echo "$file: exit code $code, not 1"
    status=1
  fi
  if [ "$(head -n 1 "$work/err.txt")" != "$expected" ]; then
    echo "$file: standard error begins otherwise:"
    head -n 3 "$work/err.txt"
    status=1
  fi
}
check "$work/new.capture" \
  "kelvaro-monitor: --replay: $work/new.capture:1: unknown version \"2\" of the capture format (this program reads version 1)"
check "$work/missing.capture" "kelvaro-monitor: --replay: $work/missing.capture: No such file or directory"
if [ -n "$(ls -A "$work/home")" ]; then
  echo "the program wrote into its home:"
  ls -A "$work/home"
  status=1
fi
exit "$status"
