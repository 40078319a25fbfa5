#!/usr/bin/env bash
# Settings saved while the monitor runs are in force from the next notice on,
# without a restart: its colour, texts, times and action. A countdown in
# progress keeps the settings it began with.
set -euo pipefail
. "$(dirname "$0")/monitor_support/lib.bash"
mon_init "$1"
printf '%s\n' "Testsprache" "action=Neu: %action% in %second% s" "off=ausgeschaltet" \
  "cancel=Stift bewegen" >"$MON_DIR/test.lng"
mon_settings "delay_time=0" "cancel_time=3" "event_log=1"
mon_start
mon_wait_events 1 "settings read: " 5 || mon_fail "no start in the event log"

# Pixel of the screen at x,y as "red,green,blue".
pixel() {
  local shot=$MON_DIR/screen.png
  import -window root "$shot"
  convert "$shot" -format "%[fx:int(255*p{$1}.r+0.5)],%[fx:int(255*p{$1}.g+0.5)],%[fx:int(255*p{$1}.b+0.5)]" info:
}

echo "a save while idle: the next notice is the new one"
mon_save "power_action=1" "delay_time=0" "cancel_time=4" "event_log=1" "[View]" \
  "background_color=255" "[Language]" "lng_file=test.lng"
mon_wait_events 1 "settings reread: power_action=1 .* cancel_time=4 " 5 || mon_fail "not reread"
mon_ac offline
ctl wait-visible 1 3 || mon_fail "no overlay"
state=$(ctl state)
grep -Eqx 'label1.text=Neu: ausgeschaltet in [34] s' <<<"$state" || mon_fail "countdown line: $state"
grep -qx 'label2.text=Stift bewegen' <<<"$state" || mon_fail "cancel hint: $state"
[ "$(pixel 512,100)" = 255,0,0 ] || mon_fail "the overlay is not red: $(pixel 512,100)"
mon_wait_calls 1 7 || mon_fail "no power call"
grep -q 'state=0x00020000 flags=0x00000000 action=off' "$MON_LOG" || mon_fail "not turned off"
mon_ac online

echo "a save during a countdown: that countdown keeps its settings"
mon_save "power_action=1" "delay_time=0" "cancel_time=6" "event_log=1" "[Language]" "lng_file=test.lng"
mon_wait_events 2 "settings reread: " 5 || mon_fail "not reread"
mon_ac offline
ctl wait-visible 1 3 || mon_fail "no overlay"
mon_save "delay_time=0" "cancel_time=2" "event_log=1" "[View]" "background_color=255"
sleep 1.5
state=$(ctl state)
grep -Eqx 'label1.text=Neu: ausgeschaltet in [2345] s' <<<"$state" || mon_fail "the countdown changed: $state"
[ "$(pixel 512,100)" = 0,255,0 ] || mon_fail "the overlay changed colour"
mon_wait_calls 2 8 || mon_fail "no power call after the countdown"
[ "$(grep -c 'action=off' "$MON_LOG")" = 2 ] || mon_fail "the countdown changed its action"
mon_wait_events 3 "settings reread: " 5 || mon_fail "not reread after the countdown"
mon_ac online
mon_ac offline
ctl wait-visible 1 3 || mon_fail "no overlay"
grep -Eqx 'label1.text=Device will be suspended after [12] second' <<<"$(ctl state)" ||
  mon_fail "the next countdown is not the new one"
[ "$(pixel 512,100)" = 255,0,0 ] || mon_fail "the next overlay is not red"
mon_wait_calls 3 5 || mon_fail "no third power call"
grep -q 'action=suspend' "$MON_LOG" || mon_fail "not suspended"
mon_ac online

mon_stop
[ "$(mon_events | grep -c '^settings reread: ')" = 3 ] || mon_fail "rereads: $(mon_events)"
echo PASS
