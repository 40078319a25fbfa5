# Helpers of the monitor's end-to-end checks: a private folder with a copy of
# vorlix.exe and its settings, the monitor started under Wine on the simulated
# power source with a recorded power action, and monitorctl/powerctl to drive it.
# Source it, then call mon_init with the build folder.

mon_fail() { echo "FAIL: $*" >&2; exit 1; }

mon_init() {
  MON_BUILD=$(cd "$1" && pwd)
  MON_NAME=$(basename "$0" .sh)
  MON_WINE=${VORLIX_WINE:?run through scripts/test, which finds Wine}
  export WINEPREFIX=${WINEPREFIX:-$MON_BUILD/wineprefix}
  export WINEDEBUG=${WINEDEBUG:--all}
  [ -n "${DISPLAY:-}" ] || mon_fail "DISPLAY is not set (run through scripts/test)"
  MON_CTL=$MON_BUILD/bin/monitorctl.exe
  MON_POWERCTL=$MON_BUILD/bin/powerctl.exe
  [ -f "$MON_BUILD/bin/vorlix.exe" ] || mon_fail "no $MON_BUILD/bin/vorlix.exe"
  MON_DIR=$MON_BUILD/e2e/$MON_NAME
  rm -rf "$MON_DIR"
  mkdir -p "$MON_DIR"
  cp "$MON_BUILD/bin/vorlix.exe" "$MON_DIR/"
  MON_LOG=$MON_DIR/power.log
  # Never the real machine: simulated AC line, power calls only written down.
  export VORLIX_POWER_SOURCE=simulated
  export VORLIX_POWER_ACTION=recorded
  export VORLIX_POWER_LOG="Z:${MON_LOG//\//\\}"
  MON_PID=
  trap mon_cleanup EXIT
  pctl ac online >/dev/null
  pctl battery 100 >/dev/null
}

mon_cleanup() {
  if [ -n "${SETUP_PID:-}" ] && kill -0 "$SETUP_PID" 2>/dev/null; then
    kill "$SETUP_PID" 2>/dev/null || true
  fi
  if [ -n "${MON_PID:-}" ] && kill -0 "$MON_PID" 2>/dev/null; then
    kill "$MON_PID" 2>/dev/null || true
    wait "$MON_PID" 2>/dev/null || true
  fi
  pctl ac online >/dev/null 2>&1 || true
  pctl battery 100 >/dev/null 2>&1 || true
}

# Output goes through a file, never a pipe: the first Wine program that needs
# the desktop starts explorer.exe, which inherits its output and outlives it, so
# a pipe reader would wait for it forever.
# A tool that fails without a word never ran its own code (each of its failures
# says why): under Wine, rarely, a process ends so at its start. That is said on
# stderr with the exit code, and the tool is run once more.
mon_run() {
  local out=$MON_DIR/.out.$BASHPID rc=0
  "$MON_WINE" "$@" >"$out" 2>&1 || rc=$?
  if [ "$rc" != 0 ] && [ ! -s "$out" ]; then
    echo "note: $(basename "$1") $2 ended with exit code $rc and no output; run again" >&2
    rc=0
    "$MON_WINE" "$@" >"$out" 2>&1 || rc=$?
  fi
  tr -d '\r' <"$out"
  rm -f "$out"
  return $rc
}
ctl() { mon_run "$MON_CTL" "$@"; }
pctl() { mon_run "$MON_POWERCTL" "$@"; }

# Writes vorlix.ini beside the copy; arguments are its key lines.
mon_settings() { printf '%s\r\n' "[Common]" "$@" >"$MON_DIR/vorlix.ini"; }

# Saves vorlix.ini as the settings application does: a whole new file renamed
# over the old one. Arguments are its key lines.
mon_save() {
  printf '%s\r\n' "[Common]" "$@" >"$MON_DIR/vorlix.ini.new"
  mv -f "$MON_DIR/vorlix.ini.new" "$MON_DIR/vorlix.ini"
}

# The monitor's event log without the times, one event a line.
mon_events() { [ -f "$MON_DIR/vorlix.log" ] && tr -d '\r' <"$MON_DIR/vorlix.log" | cut -c21- || true; }

# Waits up to $3 seconds until $1 lines of the event log begin with $2.
mon_wait_events() {
  local i n
  for ((i = 0; i < $3 * 10; i++)); do
    n=$(mon_events | grep -c "^$2" || true)
    [ "${n:-0}" -ge "$1" ] && return 0 || sleep 0.1
  done
  return 1
}

# Started with its output in a file: a program left running must not hold the
# caller's pipe open.
mon_start() {
  (cd "$MON_DIR" && exec "$MON_WINE" "$MON_DIR/vorlix.exe" >"$MON_DIR/vorlix.out" 2>&1) &
  MON_PID=$!
  ctl wait-window "${MON_START_SECONDS:-20}" || mon_fail "the monitor's window did not appear"
  pctl wait-subscriber 20 || mon_fail "the monitor did not subscribe"
}

# Waits up to $1 seconds for the monitor process to end; its exit code goes
# to MON_STATUS.
mon_wait_exit() {
  local i
  for ((i = 0; i < $1 * 10; i++)); do
    if ! kill -0 "$MON_PID" 2>/dev/null; then
      MON_STATUS=0
      wait "$MON_PID" 2>/dev/null || MON_STATUS=$?
      return 0
    fi
    sleep 0.1
  done
  return 1
}

mon_stop() {
  local rc=0
  ctl close || rc=$?
  if [ "$rc" != 0 ]; then
    kill -0 "$MON_PID" 2>/dev/null || mon_fail "the monitor is gone: $(cat "$MON_DIR/vorlix.out")"
    mon_fail "cannot send WM_CLOSE (monitorctl status $rc)"
  fi
  mon_wait_exit 10 || mon_fail "the monitor did not end after WM_CLOSE"
  [ "$MON_STATUS" = 0 ] || mon_fail "the monitor ended with status $MON_STATUS"
  MON_PID=
}

# The power log's lines of each kind: power calls and sounds.
mon_lines() {
  local n=0
  [ -f "$MON_LOG" ] && n=$(grep -c '' "$MON_LOG" || true)
  echo "${n:-0}"
}
mon_beeps() {
  local n=0
  [ -f "$MON_LOG" ] && n=$(grep -c 'MessageBeep' "$MON_LOG" || true)
  echo "${n:-0}"
}

mon_calls() {
  local n=0
  [ -f "$MON_LOG" ] && n=$(grep -c SetSystemPowerState "$MON_LOG" || true)
  echo "${n:-0}"
}

# Waits up to $2 seconds until $1 power calls are recorded.
mon_wait_calls() {
  local i
  for ((i = 0; i < $2 * 10; i++)); do
    [ "$(mon_calls)" -ge "$1" ] && return 0 || sleep 0.1
  done
  return 1
}

mon_field() { ctl state | sed -n "s/^$1=//p"; }

# Moves the X pointer across the screen (several distinct positions).
mon_wiggle() {
  local p
  for p in "300 300" "420 380" "510 260"; do
    # shellcheck disable=SC2086
    xdotool mousemove $p
    sleep 0.05
  done
}

# Sets the AC line status and waits (2 s at most each) until the monitor has read
# the notification and its form answers: a hang fails the caller.
mon_ac() {
  local said
  said=$(ctl ac "$1") || mon_fail "AC $1: the monitor hangs or lost the notification (exit code $?: $said)"
}
# The same for the battery level.
mon_battery() {
  local said
  said=$(ctl battery "$1") || mon_fail "battery $1: the monitor hangs or lost the notification (exit code $?: $said)"
}

# The settings application, started from MON_DIR (with a vorlix.exe beside it,
# or it only reports that one is missing) and looked at through monitorctl.
setup_start() {
  (cd "$MON_DIR" && exec "$MON_WINE" "$MON_DIR/vorlix-setup.exe" >"$MON_DIR/setup.out" 2>&1) &
  SETUP_PID=$!
  VORLIX_CTL_PROGRAM=vorlix-setup.exe ctl wait-window 30 || mon_fail "the settings window did not appear"
}
sctl() { VORLIX_CTL_PROGRAM=vorlix-setup.exe ctl "$@"; }
setup_stop() {
  local i
  sctl close || mon_fail "cannot send WM_CLOSE to the settings application"
  for ((i = 0; i < 100; i++)); do
    kill -0 "$SETUP_PID" 2>/dev/null || { wait "$SETUP_PID" 2>/dev/null || true; SETUP_PID=; return 0; }
    sleep 0.1
  done
  mon_fail "the settings application did not end after WM_CLOSE"
}
