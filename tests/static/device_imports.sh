#!/usr/bin/env bash
# The programs' own code calls only what the device has: every Windows function
# that the object files of shared/, monitor/, setup/, winobj/ and overlay/
# import must be on the list in platform/ce/device_imports.txt. Fails naming
# the function and the object. The C and C++ runtime (names that begin with
# "_") is not part of this check.
#   tests/static/device_imports.sh BUILD_DIR [nm]
# With i686-w64-mingw32-nm the 32-bit build's objects are read (their import
# names carry one more "_" and the stack size, "__imp__CreateFileW@28").
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:?build folder}
nm=${2:-x86_64-w64-mingw32-nm}
list=$root/platform/ce/device_imports.txt
allowed=$(grep -v '^#' "$list" | awk 'NF {print $1}' | sort -u)

objects=0 imports=0 missing=0
for folder in shared monitor setup winobj overlay; do
  [ -d "$build/$folder" ] || { echo "no $build/$folder: build first" >&2; exit 1; }
  while IFS= read -r object; do
    objects=$((objects + 1))
    while IFS= read -r name; do
      [ -n "$name" ] || continue
      case $name in _*) continue ;; esac
      imports=$((imports + 1))
      if ! grep -qxF "$name" <<<"$allowed"; then
        echo "${object#"$build"/}: $name is not on the device's list (platform/ce/device_imports.txt)"
        missing=$((missing + 1))
      fi
    done < <("$nm" -u "$object" | sed -n 's/^.* U __imp_//p' |
      if [[ $nm == i686* ]]; then sed 's/^_//; s/@[0-9]*$//'; else cat; fi)
  done < <(find "$build/$folder" -name '*.obj' | sort)
done
[ "$objects" -gt 0 ] || { echo "no object files under $build" >&2; exit 1; }
echo "$objects objects, $imports imports, $missing not on the device's list"
[ "$missing" = 0 ]
