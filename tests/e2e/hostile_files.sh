#!/usr/bin/env bash
# Hostile files beside both programs: a 50 MB settings file, a line of 1 MB,
# binary garbage with a Ctrl-Z, a language pack of a million lines, a folder of
# 5,000 files with 1,000 packs, pack names outside the ANSI code page, a
# settings file and a pack of 3 GiB (sparse, read in pieces), and a settings
# file lost in a cut-off save with only its new version left. In each
# case both programs start, take what is valid (the monitor's countdown line, the
# settings application's language list) and answer; the start-up time (start to
# an answering window) is printed. The files stay in <build>/e2e/hostile_files.
set -euo pipefail
. "$(dirname "$0")/monitor_support/lib.bash"
mon_init "$1"
base=$MON_DIR
# One ANSI code page for every run: file names pass through it.
export LC_ALL=C.UTF-8
ms() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }
# Start-up ends when the program answers; a start of more than MON_START_SECONDS
# (30 by default) is a hang.
answers() {
  local give_up=$((SECONDS + ${MON_START_SECONDS:-30}))
  while ((SECONDS < give_up)); do "$1" ping 2000 >/dev/null 2>&1 && return 0; sleep 0.2; done
  mon_fail "$2 does not answer"
}
key_lines() { printf '%s\r\n' "[Common]" "delay_time=0" "cancel_time=9" "[Language]" "lng_file=$1"; }

# A case folder with both programs and two packs; the settings file is written after.
new_case() {
  MON_DIR=$base/$1
  mkdir -p "$MON_DIR"
  cp "$MON_BUILD/bin/vorlix.exe" "$MON_BUILD/bin/vorlix-setup.exe" "$MON_DIR/"
  printf '%s\n' "First" "action=FIRST %second%" >"$MON_DIR/first.lng"
  printf '%s\n' "Last" "action=LAST %second%" >"$MON_DIR/last.lng"
}

# Checks both programs in the current case: $1 the monitor's expected countdown
# line (a pattern, seconds as [89]), $2 the expected language list: items and
# the selected display name.
check_case() {
  local name=$(basename "$MON_DIR") t monitor_ms setup_ms state
  t=$(date +%s%N)
  mon_start
  answers ctl "$name: the monitor"
  monitor_ms=$(ms "$t")
  mon_ac offline
  ctl wait-visible 1 2 || mon_fail "$name: no overlay"
  state=$(ctl state)
  grep -Eqx "label1.text=$1" <<<"$state" || mon_fail "$name: countdown line: $(grep label1.text <<<"$state")"
  mon_ac online
  ctl wait-visible 0 2 || mon_fail "$name: overlay left"
  mon_stop
  t=$(date +%s%N)
  setup_start
  answers sctl "$name: the settings application"
  setup_ms=$(ms "$t")
  sctl ping 2000 || mon_fail "$name: the settings application does not answer"
  state=$(sctl state)
  grep -qx "combo2.items=$2" <<<"$state" || mon_fail "$name: language list: $(grep combo2 <<<"$state")"
  grep -Eqx "combo2.text=$3" <<<"$state" || mon_fail "$name: selected pack: $(grep combo2 <<<"$state")"
  setup_stop
  [ "$(mon_calls)" = 0 ] || mon_fail "$name: power call"
  printf 'start-up %-16s monitor %5d ms   settings application %5d ms\n' "$name" "$monitor_ms" "$setup_ms"
}

echo "0. reference: a plain settings file"
new_case plain
key_lines last.lng >"$MON_DIR/vorlix.ini"
check_case "LAST [89]" 2 Last

echo "1. a settings file of 50 MB: junk lines, the valid ones at the end"
new_case settings_50mb
{
  printf '%s\r\n' "lng_file=first.lng" "cancel_time=3"
  head -c $((50 * 1024 * 1024)) < <(yes 'junk_key=junk value ; comment, [Section] and = signs')
  printf '\r\n'
  key_lines last.lng
} >"$MON_DIR/vorlix.ini"
check_case "LAST [89]" 2 Last

echo "2. a settings line of 1 MB (a key with a value far too long)"
new_case line_1mb
{
  key_lines last.lng
  printf 'lng_file='; head -c $((1024 * 1024)) /dev/zero | tr '\0' 'a'; printf '\r\n'
} >"$MON_DIR/vorlix.ini"
check_case "LAST [89]" 2 Last

echo "3. binary garbage (NUL bytes), valid lines, a Ctrl-Z, then more"
new_case binary
{
  head -c $((1024 * 1024)) /dev/urandom | tr -d '\032'
  printf '\r\n'
  key_lines last.lng
  printf '\032\r\nlng_file=first.lng\r\ncancel_time=3\r\n'
  head -c $((1024 * 1024)) /dev/urandom
} >"$MON_DIR/vorlix.ini"
check_case "LAST [89]" 2 Last

echo "4. a language pack of a million lines; its last valid action line wins"
new_case pack_1m_lines
awk 'BEGIN {
  print "Million"
  for (i = 1; i < 999999; i++) {
    if (i % 3 == 0) print "action=line " i " %second%"
    else if (i % 3 == 1) print "junk line " i
    else print "action="
  }
  print "action=FINAL %second%"
}' >"$MON_DIR/million.lng"
key_lines million.lng >"$MON_DIR/vorlix.ini"
check_case "FINAL [89]" 3 Million

echo "5. 5,000 files, 1,000 of them packs"
new_case files_5000
rm "$MON_DIR"/*.lng
(
  cd "$MON_DIR"
  for ((i = 0; i < 1000; i++)); do
    n=$(printf %04d "$i")
    printf 'Pack %s\naction=PACK%s %%second%%\n' "$n" "$n" >"p$n.lng"
    printf 'Not a pack\n' >"p$n.txt"
    printf 'Pack %s\n' "$n" >"p$n.lng.bak"
    printf '\n' >"e$n.lng"   # empty first line: not listed
    : >"z$n.dat"
  done
)
key_lines p0777.lng >"$MON_DIR/vorlix.ini"
check_case "PACK0777 [89]" 1000 "Pack 0777"

echo "6. pack names outside the ANSI code page (CJK, Cyrillic): not found, no harm"
new_case names
printf '%s\n' "Nihongo" "action=CJK %second%" >"$MON_DIR/日本語.lng"
printf '%s\n' "Test" "action=CYRILLIC %second%" >"$MON_DIR/тест.lng"
# lng_file holds "тест.lng" in the 8-bit Cyrillic encoding of the settings file.
{ key_lines last.lng; printf 'lng_file=\xf2\xe5\xf1\xf2.lng\r\n'; } >"$MON_DIR/vorlix.ini"
check_case "Device will be suspended after [89] second" 2 "(First|Last)"

echo "7. a settings file of 3 GiB (sparse): valid lines before and after the hole"
new_case settings_3gib
key_lines last.lng >"$MON_DIR/vorlix.ini"
truncate -s 3G "$MON_DIR/vorlix.ini"
printf '\r\nlng_file=first.lng\r\n' >>"$MON_DIR/vorlix.ini"
# Reading 3 GiB takes about 10 s on a quiet machine, and several times that
# beside other work: time, never memory.
MON_START_SECONDS=120 check_case "FIRST [89]" 2 First
rm -f "$MON_DIR/vorlix.ini"

echo "8. a language pack of 3 GiB (sparse): its name first, its action line after the hole"
new_case pack_3gib
printf 'Huge\n' >"$MON_DIR/huge.lng"
truncate -s 3G "$MON_DIR/huge.lng"
printf '\naction=HUGE %%second%%\n' >>"$MON_DIR/huge.lng"
key_lines huge.lng >"$MON_DIR/vorlix.ini"
MON_START_SECONDS=120 check_case "HUGE [89]" 3 Huge
rm -f "$MON_DIR/huge.lng"

echo "9. the settings file lost in a cut-off save, its complete new version left beside it"
new_case lost_in_save
key_lines last.lng >"$MON_DIR/vorlix.ini~0"
# Hidden alone: the save's mark of a temporary file that holds every byte.
mon_run attrib +h "Z:${MON_DIR//\//\\}\\vorlix.ini~0" >/dev/null
check_case "LAST [89]" 2 Last
[ -f "$MON_DIR/vorlix.ini" ] && [ ! -e "$MON_DIR/vorlix.ini~0" ] ||
  mon_fail "lost_in_save: the new version was not put in the file's place"

echo PASS
