#!/usr/bin/env bash
# Random AC flaps (offline never longer than 400 ms) and pointer movements
# against the running monitor: it stays responsive, makes no power call (no
# countdown of a second can run out), and still completes a clean event after.
set -euo pipefail
. "$(dirname "$0")/monitor_support/lib.bash"
mon_init "$1"
mon_settings "delay_time=0" "cancel_time=1"
mon_start

ctl flap 60 "${VORLIX_STRESS_SEED:-$RANDOM}" &
flapper=$!
while kill -0 "$flapper" 2>/dev/null; do
  xdotool mousemove $((RANDOM % 1000)) $((RANDOM % 740))
  sleep 0.$((RANDOM % 9 + 1))
done
wait "$flapper" || mon_fail "the flapper failed"
ctl ping 2000 || mon_fail "the monitor does not answer after the flaps"
ctl wait-visible 0 3 || mon_fail "overlay left visible with AC online"
[ "$(mon_calls)" = 0 ] || mon_fail "power call without a countdown running out: $(cat "$MON_LOG")"

pctl ac offline
mon_wait_calls 1 5 || mon_fail "no power call for a clean event after the stress"
mon_stop
echo PASS
