#!/usr/bin/env bash
# Builds one libFuzzer binary per reader (clang, ASan + UBSan) and runs each for a bounded time
# on seeds written by our writers, VTK and meshio:  zentrel/fuzz/run.sh [SECONDS_PER_TARGET]
set -euo pipefail
cd "$(dirname "$0")/../.."
SECONDS_PER_TARGET="${1:-60}"
OUT=build/fuzz
CXX=clang++-14
if ! command -v "$CXX" >/dev/null 2>&1 || [ ! -d /usr/lib/llvm-14/lib/clang ] ||
   ! ls /usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  echo "fuzz: installing clang-14 and its runtime libraries"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq clang-14 libclang-rt-14-dev >/dev/null
fi
mkdir -p "$OUT/obj"
FLAGS=(-std=c++20 -O1 -g -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -I.)
SOURCES=(zentrel/mesh/*.cpp zentrel/io/*.cpp zentrel/io/vtk_io/*.cpp)
objs=()
for src in "${SOURCES[@]}"; do
  obj="$OUT/obj/$(echo "$src" | tr / _).o"
  if [ ! -f "$obj" ] || [ "$src" -nt "$obj" ] || [ -n "$(find zentrel -name '*.hpp' -newer "$obj" -print -quit)" ]; then
    "$CXX" "${FLAGS[@]}" -c "$src" -o "$obj"
  fi
  objs+=("$obj")
done
LIBS=(-lz -llz4 -llzma -lyaml -lpugixml -lsimdjson)
rm -rf "$OUT/seeds"
PYTHONPATH=build/dev .venv/bin/python zentrel/fuzz/make_seeds.py "$OUT/seeds"
status=0
for target in json yaml vtk_legacy vtu; do
  "$CXX" "${FLAGS[@]}" -fsanitize=fuzzer "zentrel/fuzz/fuzz_$target.cpp" "${objs[@]}" "${LIBS[@]}" -o "$OUT/fuzz_$target"
  mkdir -p "$OUT/corpus/$target" "$OUT/crashes/$target"
  echo "fuzz: $target for ${SECONDS_PER_TARGET}s"
  if ! "$OUT/fuzz_$target" "$OUT/corpus/$target" "$OUT/seeds/$target" -max_total_time="$SECONDS_PER_TARGET" \
       -rss_limit_mb=2048 -malloc_limit_mb=1024 -timeout=10 -max_len=65536 \
       -artifact_prefix="$OUT/crashes/$target/" -print_final_stats=1 >"$OUT/fuzz_$target.log" 2>&1; then
    echo "fuzz: $target FAILED, see $OUT/fuzz_$target.log and $OUT/crashes/$target/"
    status=1
  fi
  grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb" "$OUT/fuzz_$target.log" | tr '\n' ' '; echo
done
exit $status
