#!/usr/bin/env bash
# Measures the time from the offline notification to the visible overlay with
# delay_time 0, over 20 events (a report, not a timed check).
set -euo pipefail
. "$(dirname "$0")/monitor_support/lib.bash"
mon_init "$1"
mon_settings "delay_time=0" "cancel_time=30"
mon_start
ctl latency "${VORLIX_LATENCY_EVENTS:-20}" || mon_fail "the overlay did not follow every event"
mon_stop
echo PASS
