#!/usr/bin/env bash
# The unattended recorder from outside, with no X server at all (DISPLAY unset), on the built-in
# simulated belt played 20 times as fast as life (--sim-speed, so that ten minutes take half a
# minute):
#   headless.sh MONITOR EDF_CHECK duration|term|kill|nodongle
# duration: --duration=10m ends by itself with 0, the file holds the ten minutes, EDFlib opens it;
#           a second run on the same name is refused;
# term:     SIGTERM halfway closes the file in order, exit 0;
# kill:     SIGKILL halfway, then --repair: EDFlib opens the file with every whole record;
# nodongle: no dongle, no --simulate: the window's exit code 4 and a message, no dialog;
# replay:   a capture of the window's run on the simulated belt (offscreen), recorded by the
#           unattended recorder with --replay for --duration=2s: exit 0, a file EDFlib opens.
set -euo pipefail
monitor="$(realpath "$1")"
check="$(realpath "$2")"
way="$3"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home"
cd "$work"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

# Every whole record: the header's size and the records behind it.
whole_records() {
  local size header record
  size=$(stat -c %s "$1")
  header=$(( ( $(head -c 256 "$1" | tail -c 4 | tr -d ' ') + 1 ) * 256 ))
  # 7 signals of 20 samples and 4 annotation signals of 38, 3 bytes each.
  record=$(( (7 * 20 + 4 * 38) * 3 ))
  echo $(( (size - header) / record ))
}
records_field() { head -c 244 "$1" | tail -c 8 | tr -d ' '; }

case "$way" in
  duration)
    set +e
    timeout 80 "$monitor" --headless --simulate --connect --record=x.bdf --duration=10m \
      --sim-speed=20 --home "$work/home" >out.txt 2>err.txt
    status=$?
    set -e
    [ "$status" -eq 0 ] || { echo "exit $status"; tail -20 err.txt; exit 1; }
    result=$("$check" x.bdf) || { echo "EDFlib: $result"; exit 1; }
    echo "$result"
    grep -q 'filetype=3 records=600 signals=7 labels=Force 1,Force 2,Accel X,Accel Y,Accel Z,Battery,Temperature samples=20' <<<"$result" \
      || { echo "not ten minutes of the seven signals"; exit 1; }
    grep -q 'events=Recording start|.*Recording stop$' <<<"$result" || { echo "events missing"; exit 1; }
    # Without a terminal: one plain status line a minute (the tenth may fall in the seconds the
    # run ends in), and the last status at the end.
    minutes=$(grep -c '^00:[0-9][0-9]:00  notifications ' err.txt || true)
    [ "$minutes" -ge 9 ] || { echo "$minutes status lines"; tail -20 err.txt; exit 1; }
    tail -1 err.txt | grep -q '^00:1[0-9]:[0-9][0-9]  notifications 1[0-9]\{4\}  ' \
      || { echo "no last status: $(tail -1 err.txt)"; exit 1; }
    grep -q $'\r' err.txt && { echo "a status line drawn in place without a terminal"; exit 1; }
    [ ! -s out.txt ] || { echo "standard output is not empty"; exit 1; }
    # A second run on the same name is refused before it connects, and the file is left as it was.
    before=$(md5sum <x.bdf)
    set +e
    "$monitor" --headless --simulate --connect --record=x.bdf --home "$work/home" 2>again.txt
    status=$?
    set -e
    [ "$status" -eq 1 ] && grep -q 'x.bdf exists' again.txt || { echo "not refused: $status"; cat again.txt; exit 1; }
    [ "$(md5sum <x.bdf)" = "$before" ] || { echo "the first recording changed"; exit 1; }
    ;;
  term|kill)
    "$monitor" --headless --simulate --connect --record=x.bdf --sim-speed=20 \
      --home "$work/home" >out.txt 2>err.txt &
    pid=$!
    # Halfway through five minutes of the belt.
    for _ in $(seq 1 300); do
      [ -f x.bdf ] && [ "$(whole_records x.bdf)" -ge 150 ] && break
      sleep 0.1
    done
    [ "$(whole_records x.bdf)" -ge 150 ] || { echo "no recording"; tail -20 err.txt; kill -KILL "$pid"; exit 1; }
    if [ "$way" = term ]; then kill -TERM "$pid"; else kill -KILL "$pid"; fi
    set +e
    wait "$pid"
    status=$?
    set -e
    kept=$(whole_records x.bdf)
    echo "way=$way exit=$status whole records=$kept count=$(records_field x.bdf)"
    if [ "$way" = term ]; then
      [ "$status" -eq 0 ] || { echo "SIGTERM did not end it in order: $status"; tail -20 err.txt; exit 1; }
      result=$("$check" x.bdf) || { echo "EDFlib: $result"; exit 1; }
      grep -q "filetype=3 records=$kept " <<<"$result" || { echo "$result"; exit 1; }
      grep -q 'Recording stop$' <<<"$result" || { echo "not closed: $result"; exit 1; }
    else
      [ "$status" -eq 137 ] || { echo "not killed: $status"; exit 1; }
      [ "$(records_field x.bdf)" = "-1" ] || { echo "the count was written: $(records_field x.bdf)"; exit 1; }
      "$check" x.bdf >/dev/null && { echo "EDFlib opened a file that was never closed"; exit 1; }
      repaired=$("$monitor" --repair=x.bdf)
      echo "$repaired"
      grep -q "^Repaired x.bdf: $kept whole data records kept" <<<"$repaired" || exit 1
      result=$("$check" x.bdf) || { echo "EDFlib after the repair: $result"; exit 1; }
      grep -q "filetype=3 records=$kept " <<<"$result" || { echo "$result"; exit 1; }
      again=$("$monitor" --repair=x.bdf)
      grep -q 'needs no repair' <<<"$again" || { echo "$again"; exit 1; }
    fi
    ;;
  nodongle)
    set +e
    timeout 30 "$monitor" --headless --connect --record=x.bdf --home "$work/home" >out.txt 2>err.txt
    status=$?
    set -e
    cat err.txt
    [ "$status" -eq 4 ] || { echo "exit $status"; exit 1; }
    grep -q 'cannot find the Bluetooth Dongle' err.txt || { echo "no message"; exit 1; }
    [ ! -e x.bdf ] || { echo "a recording without a belt"; exit 1; }
    ;;
  replay)
    belt=000780008D83
    QT_QPA_PLATFORM=offscreen "$monitor" --home "$work/home" --simulate --connect=$belt \
      --capture=belt.capture >capture-out.txt 2>&1 &
    pid=$!
    count() { if [ -f belt.capture ]; then grep -c ' 80 15 04 05 ' belt.capture || true; else echo 0; fi; }
    for _ in $(seq 1 300); do
      [ "$(count)" -ge 80 ] && break
      sleep 0.1
    done
    kill -TERM "$pid"
    wait "$pid" || true
    [ "$(count)" -ge 80 ] || { echo "too few notifications captured: $(count)"; exit 1; }
    set +e
    timeout 60 "$monitor" --headless --replay=belt.capture --connect=$belt --record=r.bdf \
      --duration=2s --home "$work/home" >out.txt 2>err.txt
    status=$?
    set -e
    [ "$status" -eq 0 ] || { echo "exit $status"; tail -20 err.txt; exit 1; }
    result=$("$check" r.bdf) || { echo "EDFlib: $result"; exit 1; }
    grep -q 'filetype=3 records=2 signals=7' <<<"$result" || { echo "not two seconds: $result"; exit 1; }
    ;;
  *) echo "unknown way $way"; exit 2 ;;
esac
echo ok
