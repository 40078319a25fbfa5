#!/usr/bin/env bash
# The event log as the settings application will read it: with event_log=1 the
# monitor appends one line per event to vorlix.log ("YYYY-MM-DD hh:mm:ss text",
# CR LF), newest last; a log that would pass 64 KiB loses its older half, cut
# at a line start. With event_log=0 it writes nothing.
set -euo pipefail
. "$(dirname "$0")/monitor_support/lib.bash"
mon_init "$1"
# A full log: 1024 lines of 64 bytes from earlier runs.
for ((n = 1; n <= 1024; n++)); do
  printf '2000-01-01 00:00:00 old %05d %s\r\n' "$n" "................................"
done >"$MON_DIR/vorlix.log"
[ "$(stat -c %s "$MON_DIR/vorlix.log")" = 65536 ] || mon_fail "the old log is not 64 KiB"
mon_settings "delay_time=1" "cancel_time=2" "event_log=1"
mon_start

echo "a countdown cancelled by the pointer, one by power back, one that runs out"
pctl ac offline
ctl wait-visible 1 4 || mon_fail "no overlay"
mon_wiggle
ctl wait-visible 0 2 || mon_fail "the pointer did not cancel"
mon_ac online
mon_ac offline
ctl wait-visible 1 4 || mon_fail "no overlay"
mon_ac online
ctl wait-visible 0 2 || mon_fail "power back did not cancel"
mon_ac offline
mon_wait_calls 1 8 || mon_fail "no power call"
# Its line is written once the call has returned, which may be after the power log has it.
mon_wait_events 1 "power call: " 5 || mon_fail "no power call in the log"
mon_ac online
mon_stop

log=$MON_DIR/vorlix.log
size=$(stat -c %s "$log")
echo "vorlix.log: $size bytes"
[ "$size" -le 65536 ] || mon_fail "the log passed 64 KiB"
# Every line ends with CR LF.
[ "$(grep -c $'\r$' "$log")" = "$(wc -l <"$log")" ] || mon_fail "a line without CR LF"
[ "$(tail -c 2 "$log" | od -An -c | tr -d ' ')" = '\r\n' ] || mon_fail "the last line has no end"
# The older half went, cut at a line start: old lines 513 to 1024 remain.
[ "$(head -n 1 "$log" | tr -d '\r')" = "2000-01-01 00:00:00 old 00513 ................................" ] ||
  mon_fail "the log does not begin with old line 513: $(head -n 1 "$log")"
[ "$(grep -c ' old ' "$log")" = 512 ] || mon_fail "not the newest 512 old lines"
new=$(tr -d '\r' <"$log" | grep -v ' old ')
if grep -Evq '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} [ -~]+$' <<<"$new"; then
  mon_fail "a line not of the log's form: $new"
fi
expected="monitor started
settings read: power_action=0 force_power=0 cancel_time=2 delay_time=1 critical_battery=0 warning_sound=0 event_log=1 background_color=65280 text_color=0 font_size=8 font_autosize=1 lng_file=
power lost
notice shown
cancelled by the pointer
power back
power lost
notice shown
power back
cancelled by power back
power lost
notice shown
power call: state=0x00200000 flags=0x00000000 result=ok
power back
monitor ended"
got=$(cut -c21- <<<"$new")
[ "$got" = "$expected" ] || mon_fail "events:
$got"

echo "turned off by a save: the log ends with that reread and grows no more"
mon_start
mon_save "delay_time=1" "cancel_time=2" "event_log=0"
mon_wait_events 1 "settings reread: .* event_log=0 " 5 || mon_fail "not reread"
before=$(md5sum <"$log")
tail -n 1 "$log" | grep -q 'settings reread: .* event_log=0 ' || mon_fail "the reread is not the last line"
mon_ac offline
mon_wait_calls 2 8 || mon_fail "no power call with the log off"
mon_ac online
mon_stop
mon_start
mon_stop
[ "$(md5sum <"$log")" = "$before" ] || mon_fail "the monitor wrote to the log while it was off"

echo "the settings application shows the log's latest 200 events, newest first, on its Прочее page"
cp "$MON_BUILD/bin/vorlix-setup.exe" "$MON_DIR/"
setup_start
form=
for ((i = 0; i < 50; i++)); do
  form=$(xdotool search --onlyvisible --name 'Vorlix' 2>/dev/null | head -n 1 || true)
  [ -n "$form" ] && break
  sleep 0.2
done
[ -n "$form" ] || mon_fail "the settings window is not shown"
eval "$(xdotool getwindowgeometry --shell "$form")"
# The pointer over the window gives it the keyboard; Ctrl+Tab three times turns to the page.
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
xdotool key --delay 200 ctrl+Tab ctrl+Tab ctrl+Tab
expected=$(tail -n 200 "$log" | tr -d '\r' | tac | sed 's/$/ | /' | tr -d '\n')
view=
for ((i = 0; i < 50; i++)); do
  view=$(sctl state | sed -n 's/^edit[0-9]*\.text=\(.* | .*\)/\1/p')
  [ "$view" = "$expected" ] && break
  sleep 0.2
done
[ "$view" = "$expected" ] || mon_fail "the view shows:
${view:0:400}
not:
${expected:0:400}"
mkdir -p "$MON_BUILD/screenshots"
import -window root "$MON_BUILD/screenshots/setup-event-log.png" || mon_fail "no screenshot"
setup_stop

echo PASS
