#!/usr/bin/env bash
# The countdown under load: hundreds of random AC changes, pointer movements and
# countdowns, some cancelled and some run out. Every step must be handled within
# two seconds (a hang fails), and the power log must hold exactly one line per
# countdown that was allowed to run out.
# Seed: VORLIX_STRESS_SEED (printed, so that a failure can be replayed).
set -euo pipefail
. "$(dirname "$0")/monitor_support/lib.bash"
mon_init "$1"
seed=${VORLIX_STRESS_SEED:-$RANDOM}
RANDOM=$seed
echo "seed $seed"
expected=0 steps=0 px=0 py=0

# A pointer position other than the last one, somewhere on the screen.
move_pointer() {
  local x y
  while :; do
    x=$((RANDOM % 1000 + 10)) y=$((RANDOM % 740 + 10))
    [ "$x" != "$px" ] || [ "$y" != "$py" ] && break
  done
  px=$x py=$y
  xdotool mousemove "$x" "$y"
  steps=$((steps + 1))
}
# Power back: online or unknown (anything but 0 means present).
power_back() {
  if ((RANDOM % 2)); then mon_ac online; else mon_ac unknown; fi
  steps=$((steps + 1))
}
expect_calls() {
  mon_wait_calls "$1" 2 || mon_fail "step $steps: $(mon_calls) power calls, $1 expected"
}

echo "1. no delay, no countdown: every power loss is one power call at once"
mon_settings "delay_time=0" "cancel_time=0"
mon_start
for ((i = 0; i < ${VORLIX_STRESS_RUNS:-130}; i++)); do
  mon_ac offline
  expected=$((expected + 1)) steps=$((steps + 1))
  expect_calls "$expected"
  ((RANDOM % 3)) || move_pointer
  power_back
done
ctl wait-visible 0 2 || mon_fail "overlay left visible"
mon_stop
echo "   $steps steps, $expected power calls"

echo "2. a countdown of 3 s, cancelled by the pointer or by power back, some run out"
mon_settings "delay_time=0" "cancel_time=3"
mon_start
for ((i = 0; i < ${VORLIX_STRESS_CYCLES:-80}; i++)); do
  mon_ac offline
  steps=$((steps + 1))
  ctl wait-visible 1 2 || mon_fail "step $steps: no overlay"
  if ((i % 40 == 39)); then
    expected=$((expected + 1))
    mon_wait_calls "$expected" 5 || mon_fail "step $steps: the countdown did not run out"
    ctl wait-visible 0 2 || mon_fail "step $steps: overlay left after the power call"
    power_back
  elif ((RANDOM % 2)); then
    move_pointer
    ctl wait-visible 0 2 || mon_fail "step $steps: the pointer did not cancel"
    ctl ping 2000 || mon_fail "step $steps: no answer"
    power_back
  else
    power_back
    ctl wait-visible 0 2 || mon_fail "step $steps: power back did not cancel"
  fi
  [ "$(mon_calls)" = "$expected" ] || mon_fail "step $steps: $(mon_calls) power calls, $expected expected"
done
mon_stop
echo "   $steps steps in all"

[ "$(mon_calls)" = "$expected" ] || mon_fail "$(mon_calls) power calls recorded, $expected expected"
echo "power calls: $expected expected, $(mon_calls) recorded"
echo PASS
