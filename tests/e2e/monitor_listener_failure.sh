#!/usr/bin/env bash
# A listener that cannot start (the stand-in refuses an unknown power source)
# ends the program at once, without showing any window.
set -euo pipefail
. "$(dirname "$0")/monitor_support/lib.bash"
mon_init "$1"
export VORLIX_POWER_SOURCE=invalid
(cd "$MON_DIR" && exec "$MON_WINE" "$MON_DIR/vorlix.exe" >"$MON_DIR/vorlix.out" 2>&1) &
MON_PID=$!
shown=0
for ((i = 0; i < 100; i++)); do
  kill -0 "$MON_PID" 2>/dev/null || break
  [ "$(ctl state 2>/dev/null | sed -n 's/^visible=//p')" = 1 ] && shown=1
  sleep 0.1
done
mon_wait_exit 1 || mon_fail "the monitor kept running without a listener"
MON_PID=
[ "$MON_STATUS" = 0 ] || mon_fail "the monitor did not run to its end (status $MON_STATUS)"
[ "$shown" = 0 ] || mon_fail "a window was shown"
[ "$(mon_calls)" = 0 ] || mon_fail "power call"
echo PASS
