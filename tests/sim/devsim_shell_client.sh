#!/bin/bash
# Drives vestrim-devsim over its pseudo-terminal with standard tools only, the way a script or
# a person at a shell would: start it, read the pty path, exchange frames, stop it.
# Usage: devsim_shell_client.sh PATH-TO-vestrim-devsim
set -uo pipefail

devsim=$1
work=$(mktemp -d)
failures=0
pid=

cleanup() {
  # A background job killed between its fork and its exec is still a copy of this shell and
  # would run this trap too; only the script itself may clean up.
  [[ $BASHPID == "$$" ]] || return
  if [[ -n $pid ]]; then kill -KILL "$pid" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# start NAME ARGS...: runs the simulator, reads the pty path from its first line and opens the
# pty on descriptor 4. Its stdout goes through a FIFO so the first line can be awaited with a
# deadline instead of polling a file.
start() {
  local name=$1
  shift
  mkfifo "$work/$name.out"
  "$devsim" "$@" >"$work/$name.out" 2>"$work/$name.err" &
  pid=$!
  exec 3<"$work/$name.out"
  if ! read -r -t 10 -u 3 pty; then
    echo "FAIL: $name: no pty path on stdout" >&2
    cat "$work/$name.err" >&2
    exit 1
  fi
  exec 4<>"$pty"
  # The simulator already made the line raw; a host must not turn echo back on, or the
  # device's replies would come back to it as requests.
  stty -F "$pty" raw -echo
}

# stop: SIGTERM, then wait for the exit status with a deadline.
stop() {
  exec 4>&- 3<&-
  kill -TERM "$pid"
  sleep 10 >/dev/null 2>&1 &
  local deadline=$! finished=
  wait -n -p finished "$pid" "$deadline"
  status=$?
  if [[ $finished == "$deadline" ]]; then
    status="none within 10 s"
    kill -KILL "$pid"
  else
    { kill -KILL "$deadline" && wait "$deadline"; } 2>/dev/null
  fi
  pid=
}

# exchange "HEX BYTES" COUNT: sends the bytes and prints the COUNT bytes of reply as hex.
# dd reads one byte at a time so nothing beyond COUNT is consumed: an extra byte would show up
# at the start of the next exchange.
exchange() {
  local request=$1 count=$2 escaped=
  for byte in $request; do escaped+="\\x$byte"; done
  printf "$escaped" >&4
  local hex
  hex=$(timeout 5 dd bs=1 count="$count" status=none <&4 | od -An -v -tx1 | tr -s ' \n' ' ')
  hex=${hex# }
  echo "${hex% }"
}

expect_reply() {
  local what=$1 request=$2 expected=$3
  local count
  count=$(wc -w <<<"$expected")
  local got
  got=$(exchange "$request" "$count")
  if [[ $got != "$expected" ]]; then
    fail "$what: expected '$expected', got '$got'"
  fi
}

erased166=$(printf 'ff %.0s' $(seq 166))

# 1. The handshake and the worked examples, byte for byte; the state file does not exist yet.
start plain --state "$work/device.state" --log "$work/requests.log" --link "$work/port"
[[ -L $work/port && $(readlink "$work/port") == "$pty" ]] || fail "--link made no link to $pty"
expect_reply "speed switch" "80 00 6e 00 02 f0" "e0"
expect_reply "memory size" "00 03 00 8c 00 00 00 8f 00" "00 20 00 00 20 00"
expect_reply "first header" "50 a5 00 68 08 00 00 65 01" "${erased166}5a a5"
expect_reply "clear first free" "90 03 00 20 00 00 00 00 00 00 00 b3 00" "66 01"
# Leave a mark in the EEPROM for the state file to carry: 12 34 56 78 at 32.
expect_reply "write first free" "90 03 00 20 00 00 00 12 34 56 78 c7 01" "8e 03"
# The host closes and reopens the port between operations; the pty must survive that.
exec 4>&-
exec 4<>"$pty"
expect_reply "after reopening" "10 03 00 20 00 00 00 33 00" "12 34 56 78 14 01"
stop
[[ $status == 0 ]] || fail "SIGTERM: exit status $status"
[[ -e $work/port ]] && fail "--link left $work/port behind"
[[ -s $work/device.state ]] || fail "no state file written on SIGTERM"
[[ $(head -c 8 "$work/device.state") == VSTDEVSM ]] || fail "state file has no magic header"
log=$(<"$work/requests.log")
[[ $log == *" write baud=57600 cmd=90 bank=00 addr=32 len=4 sum=ok fault=- data=12345678 reply=8e03 "* ]] ||
  fail "request log lacks the write: $log"

# 2. The state file brings the EEPROM back.
start restored --state "$work/device.state"
expect_reply "restored first free" "10 03 00 20 00 00 00 33 00" "12 34 56 78 14 01"
stop

# 3. A fault from the command line changes the answer, and only the first time.
start faulty --fault wrong-handshake --fault bad-ack:count=2
expect_reply "wrong handshake" "80 00 6e 00 02 f0" "55"
expect_reply "handshake retry" "80 00 6e 00 02 f0" "e0"
expect_reply "bad ack 1" "90 03 00 20 00 00 00 00 00 00 00 b3 00" "67 01"
expect_reply "bad ack 2" "90 03 00 20 00 00 00 00 00 00 00 b3 00" "67 01"
expect_reply "good ack" "90 03 00 20 00 00 00 00 00 00 00 b3 00" "66 01"
stop

# 4. A damaged state file is refused.
printf 'garbage' >"$work/bad.state"
timeout 10 "$devsim" --state "$work/bad.state" >/dev/null 2>"$work/bad.err"
status=$?
[[ $status == 1 && $(<"$work/bad.err") == *"not a device state file"* ]] ||
  fail "a damaged state file gave exit status $status: $(<"$work/bad.err")"

# 5. Generated contents: listed without serving, served from the first file on, kept by the state
# file, and refused over a state file that already holds files.
listing=$(timeout 10 "$devsim" --contents demo --list-contents 2>"$work/list.err")
status=$?
[[ $status == 0 ]] || fail "--list-contents gave exit status $status: $(<"$work/list.err")"
[[ $(wc -l <<<"$listing") -ge 30 && $listing == *"first free location"* ]] ||
  fail "--list-contents listed: $listing"
start contents --contents demo:seed=3 --state "$work/demo.state"
expect_reply "first file code" "50 07 00 88 08 00 00 e7 00" "4d 53 30 33 36 39 41 41 f4 01"
stop
[[ $status == 0 ]] || fail "--contents: exit status $status"
timeout 10 "$devsim" --contents demo --state "$work/demo.state" >/dev/null 2>"$work/again.err"
status=$?
[[ $status == 1 && $(<"$work/again.err") == *"already holds"* ]] ||
  fail "--contents over a filled state file gave exit status $status: $(<"$work/again.err")"

if ((failures > 0)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all checks passed"
