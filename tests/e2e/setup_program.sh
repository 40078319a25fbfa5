#!/usr/bin/env bash
# vorlix-setup.exe as a user meets it, driven from X: started from a folder of
# its own, answered with the keyboard. Power actions are only recorded.
# Usage: setup_program.sh <build folder>   (WINEPREFIX and DISPLAY set by scripts/test)
set -euo pipefail
BUILD=${1:?build folder}
WINE=${VORLIX_WINE:?run through scripts/test, which finds Wine}
export VORLIX_POWER_ACTION=recorded
WORK=$(mktemp -d)
APP_PID=
cleanup() {
  if [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then kill "$APP_PID" 2>/dev/null || true; fi
  rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cp "$BUILD/bin/vorlix-setup.exe" "$BUILD"/bin/*.lng "$WORK/"
export VORLIX_POWER_LOG="$(winepath -w "$WORK/power.log" 2>/dev/null || echo "Z:${WORK//\//\\}\\power.log")"

start() {
  (cd "$WORK" && exec "$WINE" vorlix-setup.exe) &
  APP_PID=$!
}

# The id of a shown window of the program narrower (box) or as wide as the screen (form).
find_window() {
  local kind=$1 id width screen
  screen=$(xdotool getdisplaygeometry | cut -d' ' -f1)
  for id in $(xdotool search --onlyvisible --name 'Vorlix' 2>/dev/null); do
    width=$(xdotool getwindowgeometry "$id" | sed -n 's/.*Geometry: \([0-9]*\)x.*/\1/p')
    if { [ "$kind" = box ] && [ "$width" -lt "$screen" ]; } ||
       { [ "$kind" = form ] && [ "$width" -eq "$screen" ]; }; then
      echo "$id"
      return 0
    fi
  done
  return 1
}

wait_for() {
  local kind=$1 i
  for i in $(seq 1 100); do
    find_window "$kind" && return 0
    sleep 0.2
  done
  fail "no $kind appeared"
}

# Presses a key in the window. On a bare display the pointer over it gives it
# the keyboard; a window manager is asked to activate it first, as a user's
# click would (a new window may not have the focus yet when it shows).
press() {
  local id=$1 key=$2 x y
  eval "$(xdotool getwindowgeometry --shell "$id")"
  xdotool windowactivate --sync "$id" >/dev/null 2>&1 || true
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) key "$key"
}

wait_exit() {
  local i
  for i in $(seq 1 100); do
    kill -0 "$APP_PID" 2>/dev/null || { wait "$APP_PID"; APP_PID=; return 0; }
    sleep 0.2
  done
  fail "the program did not end"
}

echo "1. without vorlix.exe: the error box, then the program ends"
start
press "$(wait_for box)" Return
wait_exit
[ ! -e "$WORK/vorlix.ini" ] || fail "vorlix.ini written"

touch "$WORK/vorlix.exe"
echo "2. Esc closes without writing"
start
press "$(wait_for form)" Escape
wait_exit
[ ! -e "$WORK/vorlix.ini" ] || fail "vorlix.ini written by Esc"

echo "3. Enter saves; No to the restart question"
start
press "$(wait_for form)" Return
box=$(wait_for box)
shots=${VORLIX_SCREENSHOTS:-$BUILD/screenshots}
mkdir -p "$shots"
import -window root "$shots/setup-restart-question.png" 2>/dev/null || true
press "$box" n
wait_exit
grep -q $'^font_autosize=1\r$' "$WORK/vorlix.ini" || fail "vorlix.ini: $(cat "$WORK/vorlix.ini")"
tail -c 22 "$WORK/vorlix.ini" | grep -qx 'initial_slot_index=200' || fail "last line"
[ "$(grep -c '' "$WORK/vorlix.ini")" = 20 ] || fail "not 20 lines"
grep -q $'^lng_file=[a-z]*\\.lng\r$' "$WORK/vorlix.ini" || fail "no pack saved"
[ ! -e "$WORK/power.log" ] || fail "power action after No"

echo "4. Yes to the restart question: a recorded restart, not forced"
start
press "$(wait_for form)" Return
press "$(wait_for box)" y
wait_exit
grep -q 'SetSystemPowerState state=0x00800000 flags=0x00000000 .*mode=recorded' "$WORK/power.log" ||
  fail "power log: $(cat "$WORK/power.log" 2>/dev/null)"
[ "$(wc -l < "$WORK/power.log")" = 1 ] || fail "more than one power action"
# PNG copies of the screenshots the window tests saved, for the documentation.
if command -v convert >/dev/null; then
  for bmp in "$BUILD"/screenshots/setup-*.bmp; do
    [ -e "$bmp" ] && convert "$bmp" "${bmp%.bmp}.png"
  done
fi
echo "PASS"
