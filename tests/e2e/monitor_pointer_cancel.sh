#!/usr/bin/env bash
# A real pointer movement over the overlay cancels: no power call follows, and
# the countdown does not come back until AC returns and is lost again.
set -euo pipefail
. "$(dirname "$0")/monitor_support/lib.bash"
mon_init "$1"
mon_settings "delay_time=0" "cancel_time=3"
mon_start

pctl ac offline
ctl wait-visible 1 3 || mon_fail "no overlay"
mon_wiggle
ctl wait-visible 0 2 || mon_fail "the pointer movement did not cancel"
sleep 4
[ "$(mon_field visible)" = 0 ] || mon_fail "the countdown came back on battery"
[ "$(mon_calls)" = 0 ] || mon_fail "a power call followed a cancel"

# Power back and lost again (each change read by the monitor before the next):
# a fresh countdown from 3 that runs out.
mon_ac online
mon_ac offline
ctl wait-visible 1 3 || mon_fail "no overlay on the second loss"
mon_wait_calls 1 6 || mon_fail "no power call after the second countdown"
mon_stop
echo PASS
