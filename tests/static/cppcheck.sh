#!/usr/bin/env bash
# Static analysis of the project's sources with cppcheck; fails on any finding.
#   tests/static/cppcheck.sh [BUILD_DIR]
# The analysis cache lives in BUILD_DIR/cppcheck, so that a rerun only looks at
# changed files. A finding that is a false positive is suppressed where it occurs
# (// cppcheck-suppress id  with a reason) or, for a whole class, in cppcheck.supp.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build}

# scripts/env.sh installs cppcheck with the other tools.
command -v cppcheck >/dev/null 2>&1 || { echo "cppcheck not found: run through scripts/test" >&2; exit 1; }

cache="$build/cppcheck"
mkdir -p "$cache"
cd "$root"
# The configuration the mingw-w64 build compiles (see the top-level CMakeLists.txt);
# windows.h is not there natively, cppcheck's windows library describes its API.
exec cppcheck --quiet --error-exitcode=1 \
  --std=c++17 --language=c++ --platform=win64 --library=windows \
  --enable=warning,performance,portability \
  --inline-suppr --suppressions-list="$here/cppcheck.supp" \
  --cppcheck-build-dir="$cache" -j "$(nproc)" \
  -D_WIN32 -D_WIN64 -DUNICODE -D_UNICODE -DNOMINMAX -D_WIN32_WINNT=0x0601 -DWINVER=0x0601 \
  -I "$root" \
  --template='{file}:{line}: {severity} [{id}] {message}' \
  shared winobj monitor setup platform bench
