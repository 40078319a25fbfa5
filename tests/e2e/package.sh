#!/usr/bin/env bash
# The release archive, packed from this build: named with the project's
# version, holding both programs, the launcher, every shipped pack and the
# installation text with Windows line ends.
set -euo pipefail
BUILD=$(cd "${1:?build folder}" && pwd)
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
archive=$("$ROOT/scripts/package" --from "$BUILD" --to "$out")
[ "$archive" = "$out/vorlix-$version.zip" ] || fail "archive $archive"
listing=$(python3 -c 'import sys, zipfile; print("\n".join(sorted(zipfile.ZipFile(sys.argv[1]).namelist())))' "$archive")
expected=$(printf 'vorlix-%s/\n' "$version"; for f in INSTALL.txt vorlix-launch.exe vorlix-setup.exe vorlix.exe $(cd "$ROOT/lang" && ls *.lng); do echo "vorlix-$version/$f"; done | LC_ALL=C sort)
[ "$listing" = "$expected" ] || fail "the archive holds:
$listing"
text=$(python3 -c 'import sys, zipfile; sys.stdout.write(zipfile.ZipFile(sys.argv[1]).read(sys.argv[2]).decode())' "$archive" "vorlix-$version/INSTALL.txt")
grep -q "^Vorlix $version"$'\r'"$" <<<"$text" || fail "INSTALL.txt does not start with the version"
grep -q 'HKEY_LOCAL_MACHINE\\Init' <<<"$text" || fail "INSTALL.txt says nothing of the start-up entry"
echo PASS
