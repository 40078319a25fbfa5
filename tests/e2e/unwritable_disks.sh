#!/usr/bin/env bash
# Saves on disks that take no more bytes or none at all: a file system of 64
# KiB, which a save of 1 MiB fills, and a read-only one, each mounted here
# (which needs root) with a settings file on it. The file layer's check of them must run and pass.
set -euo pipefail
BUILD=$(cd "${1:?build folder}" && pwd)
WINE=${VORLIX_WINE:?run through scripts/test, which finds Wine}
export WINEPREFIX=${WINEPREFIX:-$BUILD/wineprefix} WINEDEBUG=${WINEDEBUG:--all}
fail() { echo "FAIL: $*" >&2; exit 1; }
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: mounting a small file system needs root"
  exit 0
fi
dir=$BUILD/e2e/unwritable_disks
full=$dir/full read_only=$dir/read-only
umount "$full" "$read_only" 2>/dev/null || true
rm -rf "$dir"
mkdir -p "$full" "$read_only"
trap 'umount "$full" "$read_only" 2>/dev/null || true' EXIT
mount -t tmpfs -o size=64k tmpfs "$full"
printf 'cancel_time=5\r\n' >"$full/vorlix.ini"
mount -t tmpfs -o size=64k tmpfs "$read_only"
printf 'cancel_time=5\r\n' >"$read_only/vorlix.ini"
mount -o remount,ro "$read_only"
out=$dir/out.txt
# Output through a file: a pipe reader would wait for Wine's explorer.exe.
VORLIX_FULL_FOLDER="Z:${full//\//\\}" VORLIX_READ_ONLY_FOLDER="Z:${read_only//\//\\}" \
  "$WINE" "$BUILD/tests/test_shared.exe" --gtest_filter='UnwritableDisk.*' >"$out" 2>&1 ||
  fail "$(tr -d '\r' <"$out")"
grep -q '^\[  PASSED  \] 1 test' "$out" && ! grep -q SKIPPED "$out" ||
  fail "the check did not run: $(tr -d '\r' <"$out")"
echo PASS
