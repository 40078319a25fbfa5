#!/usr/bin/env bash
# One power event end to end: AC lost, the delay (a pointer movement there
# changes nothing), the full-screen countdown, the recorded power call, and the
# monitor ending on a WM_CLOSE from outside.
set -euo pipefail
. "$(dirname "$0")/monitor_support/lib.bash"
mon_init "$1"
mon_settings "delay_time=2" "cancel_time=2"
mon_start

[ "$(mon_field visible)" = 0 ] || mon_fail "overlay visible while idle"
pctl ac offline
sleep 0.5
mon_wiggle  # during the delay: the overlay is hidden and ignores it
ctl wait-visible 1 5 || mon_fail "no overlay after the delay"
state=$(ctl state)
echo "$state"
grep -qx 'topmost=1' <<<"$state" || mon_fail "overlay not topmost"
grep -qx 'caption=0' <<<"$state" || mon_fail "overlay has a caption"
screen=$(xdotool getdisplaygeometry | tr ' ' ,)
grep -qx "form=0,0,$screen" <<<"$state" || mon_fail "overlay does not cover the screen ($screen)"
grep -Eqx 'label1.text=Device will be suspended after [12] second' <<<"$state" || mon_fail "countdown line"
grep -qx 'label2.text=Use move on the screen to cancel...' <<<"$state" || mon_fail "cancel hint"

mon_wait_calls 1 6 || mon_fail "no power call after the countdown"
ctl wait-visible 0 3 || mon_fail "overlay still visible after the power call"
cat "$MON_LOG"
grep -q 'state=0x00200000 flags=0x00000000 action=suspend mode=recorded' "$MON_LOG" || mon_fail "power call"
[ "$(mon_field label1.text)" = "Recovery power device" ] || mon_fail "recovery text"

mon_stop
[ -z "$(pctl subscribers)" ] || mon_fail "a subscription outlived the monitor"
[ "$(mon_calls)" = 1 ] || mon_fail "unexpected power calls"
echo PASS
