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
MONITOR_STARTED=
cleanup() {
  if [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then kill "$APP_PID" 2>/dev/null || true; fi
  if [ -n "$MONITOR_STARTED" ]; then "$WINE" "$BUILD/bin/monitorctl.exe" close >/dev/null 2>&1 || true; fi
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
  screen=${SCREEN_WIDTH:-$(xdotool getdisplaygeometry | cut -d' ' -f1)}
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
  local shot=${VORLIX_SCREENSHOTS:-$BUILD/screenshots}/setup-no-$kind.png
  mkdir -p "$(dirname "$shot")"
  import -window root "$shot" 2>/dev/null || true
  echo "program running: $(kill -0 "$APP_PID" 2>/dev/null && echo yes || echo no)," \
    "vorlix.ini: $([ -e "$WORK/vorlix.ini" ] && echo written || echo none)," \
    "windows named Vorlix: $(xdotool search --onlyvisible --name Vorlix 2>/dev/null | tr '\n' ' '), screen: $shot" >&2
  fail "no $kind appeared"
}

# Presses a key in the window. On a bare display the pointer over it gives it
# the keyboard; a window manager is asked to activate it first, as a user's
# click would (a new window may not have the focus yet when it shows), and the
# key waits until the X focus is there: a key sent before would go elsewhere.
press() {
  local id=$1 key=$2 i
  eval "$(xdotool getwindowgeometry --shell "$id")"
  if xdotool windowactivate --sync "$id" >/dev/null 2>&1; then
    for i in $(seq 1 50); do
      [ "$(xdotool getwindowfocus 2>/dev/null)" = "$id" ] && break
      sleep 0.1
    done
  fi
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) key "$key"
}

# Answers the message box with a key and waits until it has gone, so that the
# next box looked for is not this one on its way out.
answer() {
  local id i
  id=$(wait_for box)
  press "$id" "$1"
  for i in $(seq 1 50); do
    xdotool getwindowname "$id" >/dev/null 2>&1 || return 0
    find_window box | grep -qx "$id" || return 0
    sleep 0.1
  done
  fail "the box did not close on $1"
}

# Keys to the window that has the keyboard, the pointer left where it is: a
# movement over the preview would leave it.
keys() { xdotool key --delay 150 "$@"; }

# The colour "red,green,blue" of the screen at x,y.
colour_at() {
  import -window root "$WORK/shot.png"
  convert "$WORK/shot.png" -format "%[fx:int(255*p{$1,$2}.r+0.5)],%[fx:int(255*p{$1,$2}.g+0.5)],%[fx:int(255*p{$1,$2}.b+0.5)]" info:
}

# Waits up to 10 s for the screen at x,y to show the colour "red,green,blue".
wait_colour() {
  local i
  for i in $(seq 1 50); do
    [ "$(colour_at "$1" "$2")" = "$3" ] && return 0
    sleep 0.2
  done
  return 1
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

echo "3. Enter saves; No to the question whether to start the monitor"
start
press "$(wait_for form)" Return
wait_for box >/dev/null
shots=${VORLIX_SCREENSHOTS:-$BUILD/screenshots}
mkdir -p "$shots"
import -window root "$shots/setup-start-question.png" 2>/dev/null || true
answer n
wait_exit
grep -q $'^font_autosize=1\r$' "$WORK/vorlix.ini" || fail "vorlix.ini: $(cat "$WORK/vorlix.ini")"
tail -c 22 "$WORK/vorlix.ini" | grep -qx 'initial_slot_index=200' || fail "last line"
[ "$(grep -c '' "$WORK/vorlix.ini")" = 20 ] || fail "not 20 lines"
grep -q $'^lng_file=[a-z]*\\.lng\r$' "$WORK/vorlix.ini" || fail "no pack saved"
[ ! -e "$WORK/power.log" ] || fail "power action after No"

echo "4. Yes to the start of a vorlix.exe that is no program, then Yes to the restart question: a recorded restart, not forced"
start
press "$(wait_for form)" Return
answer y
answer y
wait_exit
grep -q 'SetSystemPowerState state=0x00800000 flags=0x00000000 .*mode=recorded' "$WORK/power.log" ||
  fail "power log: $(cat "$WORK/power.log" 2>/dev/null)"
[ "$(wc -l < "$WORK/power.log")" = 1 ] || fail "more than one power action"
rm -f "$WORK/power.log"

echo "5. Beside the real monitor: Yes starts it; with it running, OK asks nothing"
cp "$BUILD/bin/vorlix.exe" "$WORK/vorlix.exe"
start
press "$(wait_for form)" Return
answer y
wait_exit
MONITOR_STARTED=1
"$WINE" "$BUILD/bin/powerctl.exe" wait-subscriber 20 >/dev/null || fail "the monitor did not start"
start
press "$(wait_for form)" Return
wait_exit
[ "$(find_window box || true)" = "" ] || fail "a question with the monitor running"
"$WINE" "$BUILD/bin/monitorctl.exe" close >/dev/null || fail "the started monitor does not answer"
MONITOR_STARTED=
[ ! -e "$WORK/power.log" ] || fail "a power action: $(cat "$WORK/power.log")"

echo "6. the keyboard alone: from the first caption Shift+Tab three times to Просмотр and Enter show the preview, a key leaves it, Tab twice to Отмена and Enter end without writing"
rm -f "$WORK/vorlix.ini"
start
# Shift alone does nothing but let the window take the keyboard first.
press "$(wait_for form)" shift
keys shift+Tab shift+Tab shift+Tab Return
wait_colour 512 300 0,255,0 || fail "Enter on Просмотр showed no preview"
keys space
wait_colour 512 300 255,128,0 || fail "a key did not leave the preview"
keys Tab Tab Return
wait_exit
[ ! -e "$WORK/vorlix.ini" ] || fail "vorlix.ini written by Отмена"

echo "7. started at a device's screen size the window covers that screen; Ctrl+Tab turns to the View page, Esc ends"
for size in 240x320 320x240 480x640 1024x768; do
  width=${size%x*} height=${size#*x}
  export VORLIX_SCREEN=$size
  start
  form=$(SCREEN_WIDTH=$width wait_for form)
  eval "$(xdotool getwindowgeometry --shell "$form")"
  [ "$WIDTH" = "$width" ] && [ "$HEIGHT" = "$height" ] || fail "at $size the window is ${WIDTH}x$HEIGHT"
  # The page's top row, under the page captions (8 + 24 pixels down) and above its first field.
  wait_colour $((width / 2)) 36 255,128,0 || fail "at $size no page under the captions"
  press "$form" ctrl+Tab
  # The View page's background swatch, green by default, at 112..136 x 16..40 in the page.
  wait_colour 132 56 0,255,0 || fail "at $size Ctrl+Tab did not turn to the View page"
  keys Escape
  wait_exit
  [ ! -e "$WORK/vorlix.ini" ] || fail "vorlix.ini written by Esc at $size"
done
unset VORLIX_SCREEN

echo "8. the Прочее page from the keyboard: Ctrl+Tab three times, the battery level typed, the sound and the log ticked with Space, Enter saves; No to the start"
rm -f "$WORK/vorlix.ini"
start
press "$(wait_for form)" shift
keys ctrl+Tab ctrl+Tab ctrl+Tab Tab End BackSpace 1 5 Tab space Tab space Return
answer n
wait_exit
for line in critical_battery=15 warning_sound=1 event_log=1; do
  grep -q "^$line"$'\r$' "$WORK/vorlix.ini" || fail "no $line in vorlix.ini: $(cat "$WORK/vorlix.ini")"
done

# PNG copies of the screenshots the window tests saved, for the documentation.
if command -v convert >/dev/null; then
  for bmp in "$BUILD"/screenshots/setup-*.bmp; do
    [ -e "$bmp" ] && convert "$bmp" "${bmp%.bmp}.png"
  done
fi
echo "PASS"
