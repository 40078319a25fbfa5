#!/usr/bin/env bash
# The end-to-end checks of both programs as on a user's desktop: a display of
# their own with a real window manager (openbox) and Wine managing its windows
# (a Wine prefix of their own, copied from the test prefix, with Managed=Y).
# Then what only a window manager can get wrong: the overlay comes up over
# another program's full-screen window and takes the pointer there.
set -euo pipefail
BUILD=$(cd "${1:?build folder}" && pwd)
HERE=$(cd "$(dirname "$0")" && pwd)
MAIN_PREFIX=${WINEPREFIX:-$BUILD/wineprefix}
PREFIX=$BUILD/wineprefix-managed
fail() { echo "FAIL: $*" >&2; exit 1; }

XVFB_PID= WM_PID= LOGO_PID=
cleanup() {
  WINEPREFIX=$PREFIX wineserver -k 2>/dev/null || true
  for pid in $LOGO_PID $WM_PID $XVFB_PID; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

# A display of our own, and openbox on it (it marks the root window once it runs).
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
XVFB_PID=$!
read -r number <"$fifo"
rm -f "$fifo"
export DISPLAY=:$number
openbox >/dev/null 2>&1 &
WM_PID=$!
for ((i = 0; i < 100; i++)); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' || fail "openbox did not start"

if [ ! -f "$PREFIX/system.reg" ]; then
  rm -rf "$PREFIX"
  cp -a "$MAIN_PREFIX" "$PREFIX"
fi
export WINEPREFIX=$PREFIX
"${VORLIX_WINE:?run through scripts/test, which finds Wine}" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d Y /f >/dev/null 2>&1
echo "display $DISPLAY, window manager: $(xprop -root _NET_SUPPORTING_WM_CHECK | sed 's/.*# //')"

status=0
for check in monitor_power_event monitor_pointer_cancel monitor_language setup_program; do
  if VORLIX_SCREENSHOTS=$BUILD/screenshots/managed bash "$HERE/$check.sh" "$BUILD" >"$BUILD/e2e-managed-$check.log" 2>&1; then
    echo "PASS $check"
  else
    echo "FAIL $check:"
    sed 's/^/  /' "$BUILD/e2e-managed-$check.log"
    status=1
  fi
done

echo "over another program's full-screen window"
. "$HERE/monitor_support/lib.bash"
mon_init "$BUILD"
trap 'mon_cleanup; cleanup' EXIT
mon_settings "delay_time=0" "cancel_time=5" "background_color=65280"
xlogo -geometry 1024x768+0+0 -bg red >/dev/null 2>&1 &
LOGO_PID=$!
sleep 1
mon_start
mon_ac offline
ctl wait-visible 1 3 || fail "no overlay"
sleep 0.5
mkdir -p "$BUILD/screenshots/managed"
shot=$BUILD/screenshots/managed/overlay-over-xlogo.png
import -window root "$shot"
# Pixels of the screenshot at x,y: all of the colour "red,green,blue".
expect_colour() {
  local shot=$1 colour=$2 what=$3 at pixel
  shift 3
  for at in "$@"; do
    pixel=$(convert "$shot" -format "%[fx:int(255*p{$at}.r+0.5)],%[fx:int(255*p{$at}.g+0.5)],%[fx:int(255*p{$at}.b+0.5)]" info:)
    [ "$pixel" = "$colour" ] || fail "at $at the screen shows $pixel, not $what"
  done
}
# The middle and the corners show the overlay's green, not the window below it.
expect_colour "$shot" 0,255,0 "the overlay" 512,300 2,2 1021,765
mon_wiggle
ctl wait-visible 0 2 || fail "the pointer over the overlay did not cancel it"
[ "$(mon_calls)" = 0 ] || fail "a power call after the cancel"
mon_stop

echo "the settings window over it too"
cp "$MON_BUILD/bin/vorlix-setup.exe" "$MON_DIR/"
setup_start
sleep 1
shot=$BUILD/screenshots/managed/setup-over-xlogo.png
import -window root "$shot"
# The General page's orange in the middle, the window's white margin at the edge.
expect_colour "$shot" 255,128,0 "the General page" 512,300
expect_colour "$shot" 255,255,255 "the settings window" 2,2 1021,765
setup_stop
[ "$status" = 0 ] && echo PASS
exit "$status"
