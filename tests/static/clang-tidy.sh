#!/usr/bin/env bash
# clang-tidy (bug-prone patterns, a few performance checks) over the project's
# sources, with the compile commands of a mingw-w64 build folder; fails on any
# finding. A false positive is suppressed where it occurs: // NOLINT(check) with a reason.
#   tests/static/clang-tidy.sh [BUILD_DIR]
# Not part of ctest (about two minutes on two cores); run it by hand after changes.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
[ -f "$build/compile_commands.json" ] || cmake "$build" >/dev/null  # exported by CMakeLists.txt

# scripts/env.sh installs clang-tidy with the other tools.
runner=$(command -v run-clang-tidy || command -v run-clang-tidy-14 || true)
[ -n "$runner" ] || { echo "run-clang-tidy not found: run through scripts/test" >&2; exit 1; }

checks='-*,bugprone-*'
# Noise for Win32 code: adjacent DWORD/HWND parameters, implicit narrowing in API
# calls, and the reserved-looking names of the CE declarations the platform provides.
checks+=',-bugprone-easily-swappable-parameters,-bugprone-narrowing-conversions,-bugprone-reserved-identifier'
checks+=',performance-move-const-arg,performance-unnecessary-copy-initialization'
checks+=',performance-unnecessary-value-param,performance-for-range-copy'
checks+=',performance-inefficient-string-concatenation,performance-faster-string-find'
checks+=',performance-implicit-conversion-in-loop'

# clang for the mingw-w64 target, with the C++ library of the mingw g++ the build uses.
cxx=$(sed -n 's/^ *"command": "\([^ ]*g++[^ ]*\) .*/\1/p' "$build/compile_commands.json" | head -n 1)
extra=(-extra-arg=--target=x86_64-w64-mingw32)
while read -r dir; do
  case "$dir" in */include/c++*) extra+=("-extra-arg=-isystem$dir") ;; esac
done < <(echo | "$cxx" -xc++ -E -v - 2>&1 | sed -n '/#include <...> search starts here/,/End of search/p' | sed 's/^ //')

"$runner" -p "$build" -j "$(nproc)" -quiet "${extra[@]}" -config="{Checks: '$checks', WarningsAsErrors: '*'}" \
  "^$root/(shared|winobj|monitor|setup|platform|bench)/"
