#!/usr/bin/env bash
# scripts/demo as a user runs it, in the build folder under test: the power
# loss's demo and the critical battery's (--battery) each end well, show what
# they say, and record what the monitor did.
set -euo pipefail
BUILD=$(cd "$1" && pwd)
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$BUILD/CMakeCache.txt")
run_demo() {
  BUILD_DIR=$BUILD BUILD_TYPE=${type:-Debug} VORLIX_BUILD_TARGETS="vorlix powerctl monitorctl" \
    timeout 180 bash "$ROOT/scripts/demo" "$@" >"$BUILD/demo.out" 2>&1 || {
    cat "$BUILD/demo.out"
    fail "scripts/demo $* ended with status $?"
  }
  cat "$BUILD/demo.out"
}
log=$BUILD/demo/power-actions.log

run_demo
grep -Eq '^\[demo\] the overlay is up: Device will be suspended after [45] second$' "$BUILD/demo.out" ||
  fail "the power loss's notice"
[ "$(grep -c 'SetSystemPowerState state=0x00200000 flags=0x00000000 action=suspend mode=recorded' "$log")" = 1 ] ||
  fail "not one recorded suspend"
[ "$(grep -c '' "$log")" = 1 ] || fail "more than the power call in the log"

run_demo --battery
grep -Eq '^\[demo\] the battery.s notice is up at once \(no delay\): Battery low: device will be suspended after [45] second$' \
  "$BUILD/demo.out" || fail "the battery's notice"
awk '{print $3, $4}' "$log" >"$BUILD/demo/calls.txt"
printf '%s\n' "MessageBeep type=0x00000030" "MessageBeep type=0x00000000" "MessageBeep type=0x00000000" \
  "MessageBeep type=0x00000000" "SetSystemPowerState state=0x00200000" | diff - "$BUILD/demo/calls.txt" ||
  fail "the battery demo's sounds and power call"
for shot in battery-01-idle battery-02-notice battery-03-countdown battery-04-after; do
  [ -s "$BUILD/screenshots/$shot.png" ] || fail "no screenshot $shot"
done
[ "$(bash "$ROOT/scripts/demo" --battery --real >/dev/null 2>&1; echo $?)" = 2 ] || fail "--battery --real accepted"
echo PASS
