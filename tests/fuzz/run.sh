#!/usr/bin/env bash
# Builds the fuzz targets natively with clang and runs them.
#   tests/fuzz/run.sh BUILD_DIR [SECONDS] [TARGET...]
# Without targets every fuzz_*.cpp runs. Each target starts from its seed corpus in
# tests/fuzz/corpus/<target>; new inputs go to BUILD_DIR/fuzz/corpus/<target>.
# A longer run: tests/fuzz/run.sh build 600
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?build folder}" && pwd)/fuzz
seconds=${2:-10}
shift $(( $# >= 2 ? 2 : $# ))

# scripts/env.sh installs clang and libFuzzer's runtime with the other tools.
if ! command -v clang++ >/dev/null 2>&1 || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  echo "clang++ or libFuzzer's runtime not found: run through scripts/test" >&2
  exit 1
fi

# One build at a time: several CTest entries call this script.
mkdir -p "$build"
exec 9>"$build/.lock"
flock 9
if [ ! -f "$build/CMakeCache.txt" ]; then
  CXX=clang++ cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j "$(nproc)" >/dev/null
flock -u 9

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in "$here"/fuzz_*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
for t in "${targets[@]}"; do
  corpus="$build/corpus/$t"
  mkdir -p "$corpus"
  echo "== $t: $seconds s"
  status=0
  "$build/$t" -max_total_time="$seconds" -print_final_stats=1 -max_len=4096 \
    -artifact_prefix="$build/$t-" "$corpus" "$here/corpus/$t" >"$build/$t.log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    tail -n 40 "$build/$t.log"
    echo "$t failed (exit $status); the input is in $build/$t-*"
    exit 1
  fi
  grep -E "^stat::number_of_executed_units|^Done" "$build/$t.log" || true
done
