#!/usr/bin/env bash
# The critical battery end to end, with critical_battery=10 and the warning
# sound: a low level on mains does nothing; power lost at 50 % brings the power
# loss's notice, which a pointer movement cancels; 30 % brings nothing, 10 %
# the battery's notice at once, which a movement cancels; 8 % nothing (not 5
# points below the cancel), 5 % the notice again, which runs out into the
# power call with its sounds before it.
set -euo pipefail
. "$(dirname "$0")/monitor_support/lib.bash"
mon_init "$1"
mon_settings "delay_time=2" "cancel_time=3" "critical_battery=10" "warning_sound=1"
mon_start

# Nothing comes for $1 seconds.
expect_nothing() {
  sleep "$1"
  [ "$(mon_field visible)" = 0 ] || mon_fail "$2: a notice came"
}

mon_battery 3
expect_nothing 2 "3 % on mains"
[ "$(mon_lines)" = 0 ] || mon_fail "a power call or a sound on mains: $(cat "$MON_LOG")"

mon_battery 50
mon_ac offline
ctl wait-visible 1 5 || mon_fail "no notice after the power loss"
grep -Eqx 'label1.text=Device will be suspended after [123] second' <<<"$(ctl state)" ||
  mon_fail "not the power loss's notice: $(mon_field label1.text)"
mon_wiggle
ctl wait-visible 0 2 || mon_fail "the pointer movement did not cancel"

mon_battery 30
expect_nothing 2 "30 % on battery"
mon_battery 10
ctl wait-visible 1 2 || mon_fail "no notice at 10 %"
state=$(ctl state)
echo "$state"
grep -Eqx 'label1.text=Battery low: device will be suspended after [23] second' <<<"$state" ||
  mon_fail "battery text"
grep -qx 'label2.text=Use move on the screen to cancel...' <<<"$state" || mon_fail "cancel hint"
grep -qx 'topmost=1' <<<"$state" || mon_fail "notice not topmost"
mon_wiggle
ctl wait-visible 0 2 || mon_fail "the pointer movement did not cancel the battery's notice"
[ "$(mon_calls)" = 0 ] || mon_fail "a power call after a cancel"

mon_battery 8
expect_nothing 2 "8 %, 2 points below the cancel"
before=$(mon_lines)
mon_battery 5
ctl wait-visible 1 2 || mon_fail "no notice at 5 %"
mon_wait_calls 1 6 || mon_fail "no power call after the battery's countdown"
ctl wait-visible 0 2 || mon_fail "notice still up after the power call"
cat "$MON_LOG"
# The last notice: its sound as it appears (showing 3), one at 2 and at 1,
# then the power call.
tail -n +$((before + 1)) "$MON_LOG" | awk '{print $3, $4}' >"$MON_DIR/last.txt"
printf '%s\n' "MessageBeep type=0x00000030" "MessageBeep type=0x00000000" \
  "MessageBeep type=0x00000000" "SetSystemPowerState state=0x00200000" |
  diff - "$MON_DIR/last.txt" || mon_fail "the last notice's sounds and power call"
mon_stop
[ "$(mon_calls)" = 1 ] || mon_fail "$(mon_calls) power calls, 1 expected"
echo PASS
