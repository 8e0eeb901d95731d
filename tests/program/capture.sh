#!/usr/bin/env bash
# The real program captures the built-in simulator's bytes, and its way out is hard:
#   capture.sh MONITOR kill|term
# "kill": SIGKILL once 2 s of the belt's notifications are in the capture: every line written
# is in the file, whole. "term": SIGTERM: the program closes in order, the capture with it.
# Needs no display (offscreen).
set -euo pipefail
monitor="$(realpath "$1")"
way="$2"
work="$(mktemp -d)"
pid=""
cleanup() {
  [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "$1"
  echo "--- monitor"; tail -20 "$work/out.txt" 2>/dev/null
  echo "--- capture"; head -3 "$work/belt.capture" 2>/dev/null; tail -3 "$work/belt.capture" 2>/dev/null
  exit 1
}
mkdir -p "$work/home"
cd "$work"
export QT_QPA_PLATFORM=offscreen
"$monitor" --home "$work/home" --simulate --connect=000780008D83 --capture="$work/belt.capture" \
  --console-to-stderr >"$work/out.txt" 2>&1 &
pid=$!

# 2 s of the belt: 40 attribute-value events (80 15 04 05: 21 bytes of payload).
notifications() {
  if [ -f "$work/belt.capture" ]; then grep -c ' 80 15 04 05 ' "$work/belt.capture" || true; else echo 0; fi
}
for _ in $(seq 1 300); do
  [ "$(notifications)" -ge 40 ] && break
  kill -0 "$pid" 2>/dev/null || fail "the program ended by itself"
  sleep 0.1
done
[ "$(notifications)" -ge 40 ] || fail "too few notifications in the capture: $(notifications)"

case "$way" in
  kill) kill -KILL "$pid" ;;
  term) kill -TERM "$pid" ;;
esac
set +e
wait "$pid"
status=$?
set -e
pid=""

lines=$(wc -l <belt.capture)
echo "way=$way exit=$status lines=$lines notifications=$(notifications) bytes=$(wc -c <belt.capture)"
# Every line whole: the file ends with a line end, the header first, then only records whose
# times never go backwards.
[ "$(tail -c 1 belt.capture | od -An -tx1 | tr -d ' \n')" = "0a" ] || fail "the last line is not whole"
head -n 1 belt.capture | grep -qE '^kelvaro-capture 1 program=kelvaro-monitor/[0-9.]+ start=[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:.]+([+-][0-9]{2}:[0-9]{2}|Z)$' ||
  fail "bad header: $(head -n 1 belt.capture)"
bad=$(tail -n +2 belt.capture | grep -c -v -E '^[0-9]+ [<>]( [0-9a-f]{2})+$' || true)
[ "$bad" -eq 0 ] || fail "$bad malformed lines"
tail -n +2 belt.capture | awk '$1 + 0 < last { exit 1 } { last = $1 + 0 }' || fail "time goes backwards"
# The start-up's first command is in it: the discover (00 01 06 02 01).
grep -qE '^[0-9]+ > 00 01 06 02 01$' belt.capture || fail "no discover command captured"
case "$way" in
  kill) [ "$status" -eq 137 ] || fail "not killed: $status" ;;
  term)
    [ "$status" -eq 0 ] || fail "SIGTERM did not end the program in order: $status"
    grep -q '^Capture ended: ' "$work/out.txt" || fail "the capture was not ended"
    [ -f "$work/home/Darev.ini" ] || fail "no settings written"
    ;;
esac
echo ok
