#!/usr/bin/env bash
# A language pack and power_action 2 with force: the pack's own countdown line
# with the English "restarted" it leaves alone, and a forced restart recorded.
set -euo pipefail
. "$(dirname "$0")/monitor_support/lib.bash"
mon_init "$1"
mon_settings "power_action=2" "force_power=1" "delay_time=0" "cancel_time=4" "[Language]" "lng_file=test.lng"
printf '%s\n' "Testsprache" "action=Das Gerät wird in %second% s %action%" "cancel=Stift bewegen zum Abbrechen" \
  >"$MON_DIR/test.lng"
mon_start

pctl ac offline
ctl wait-visible 1 3 || mon_fail "no overlay"
state=$(ctl state)
echo "$state"
grep -Eqx 'label1.text=Das Gerät wird in [34] s restarted' <<<"$state" || mon_fail "countdown line"
grep -qx 'label2.text=Stift bewegen zum Abbrechen' <<<"$state" || mon_fail "cancel hint"
mon_wait_calls 1 7 || mon_fail "no power call"
cat "$MON_LOG"
grep -q 'state=0x00800000 flags=0x00001000 action=reset' "$MON_LOG" || mon_fail "forced restart"
mon_stop
echo PASS
