#!/usr/bin/env bash
# Another program sends the monitor's windows the message that the monitor's
# own threads use to hand calls to its window, with made-up parameters (among
# them the address of ExitProcess): the monitor runs none of them, stays up and
# still does its job.
set -euo pipefail
. "$(dirname "$0")/monitor_support/lib.bash"
mon_init "$1"
mon_settings "delay_time=0" "cancel_time=1"
mon_start
ctl stray-calls || mon_fail "the monitor did not survive the stray messages: $(cat "$MON_DIR/vorlix.out")"
kill -0 "$MON_PID" 2>/dev/null || mon_fail "the monitor is gone"
mon_ac offline
mon_wait_calls 1 5 || mon_fail "no power call after the stray messages"
mon_stop
echo PASS
