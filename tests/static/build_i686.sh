#!/usr/bin/env bash
# Builds both programs and every test program once more for 32-bit Windows,
# warnings as errors, and checks the 32-bit objects' imports against the
# device's list. Nothing of it runs (see cmake/mingw-w64-i686-posix.cmake).
#   tests/static/build_i686.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:?build folder}/i686
command -v i686-w64-mingw32-g++-posix >/dev/null 2>&1 ||
  { echo "i686-w64-mingw32-g++-posix not found: run through scripts/test" >&2; exit 1; }
if [ ! -f "$build/CMakeCache.txt" ]; then
  # No optimisation and no debug information: the build is for the compiler's
  # and the linker's verdict, and quicker so.
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686-posix.cmake" \
    -DCMAKE_BUILD_TYPE=None -DVORLIX_WERROR=ON >/dev/null
fi
cmake --build "$build" -j "$(nproc)" 2>&1 | grep -v '^\[' || true
cmake --build "$build" -j "$(nproc)" >/dev/null
bash "$here/device_imports.sh" "$build" i686-w64-mingw32-nm
