#!/usr/bin/env bash
# A system whose ANSI code page is UTF-8 (65001): Wine takes it from a locale
# without an 8-bit code page of its own, such as Hindi, built here with
# localedef so that file names in it reach Linux as UTF-8. The file layer's and
# the language list's checks that skip under any other code page must run and
# pass there.
set -euo pipefail
BUILD=$(cd "${1:?build folder}" && pwd)
WINE=${VORLIX_WINE:?run through scripts/test, which finds Wine}
export WINEPREFIX=${WINEPREFIX:-$BUILD/wineprefix} WINEDEBUG=${WINEDEBUG:--all}
fail() { echo "FAIL: $*" >&2; exit 1; }
dir=$BUILD/e2e/utf8_code_page
rm -rf "$dir"
mkdir -p "$dir"
localedef -i hi_IN -f UTF-8 "$dir/hi_IN.UTF-8" >/dev/null 2>&1 ||
  [ -d "$dir/hi_IN.UTF-8" ] || fail "localedef could not build hi_IN.UTF-8"
out=$dir/out.txt
for program in test_shared test_setup; do
  # Output through a file: a pipe reader would wait for Wine's explorer.exe.
  LOCPATH=$dir LC_ALL=hi_IN.UTF-8 "$WINE" "$BUILD/tests/$program.exe" \
    --gtest_filter='Utf8AnsiCodePage.*' >"$out" 2>&1 || fail "$program: $(tr -d '\r' <"$out")"
  grep -q '^\[  PASSED  \] 1 test' "$out" && ! grep -q SKIPPED "$out" ||
    fail "$program did not run under the UTF-8 code page: $(tr -d '\r' <"$out")"
done
echo PASS
