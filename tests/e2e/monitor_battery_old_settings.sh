#!/usr/bin/env bash
# A settings file from before the critical battery and the warning sound (no
# critical_battery or warning_sound line) keeps the monitor as it was: low
# levels on battery bring nothing, a power loss counts down and acts as
# always, and nothing sounds.
set -euo pipefail
. "$(dirname "$0")/monitor_support/lib.bash"
mon_init "$1"
printf '%s\r\n' "[Common]" "power_action=0" "force_power=0" "cancel_time=2" "delay_time=1" "" \
  "[View]" "background_color=65280" "text_color=0" "font_size=8" "font_autosize=1" "" \
  "[Language]" "lng_file=" "" "[Launch]" >"$MON_DIR/vorlix.ini"
printf 'initial_slot_index=200' >>"$MON_DIR/vorlix.ini"
pctl ac offline >/dev/null  # on battery from the start
mon_start

for level in 20 5 1 0; do mon_battery $level; done
sleep 2
[ "$(mon_field visible)" = 0 ] || mon_fail "a notice for the battery"
[ "$(mon_lines)" = 0 ] || mon_fail "a power call or a sound: $(cat "$MON_LOG")"

mon_ac online
mon_ac offline
ctl wait-visible 1 4 || mon_fail "no notice after the power loss"
grep -Eqx 'label1.text=Device will be suspended after [12] second' <<<"$(ctl state)" ||
  mon_fail "countdown line: $(mon_field label1.text)"
mon_wait_calls 1 6 || mon_fail "no power call"
cat "$MON_LOG"
[ "$(mon_beeps)" = 0 ] || mon_fail "a sound without warning_sound"
mon_stop
[ "$(mon_lines)" = 1 ] || mon_fail "not one line in the power log"
echo PASS
