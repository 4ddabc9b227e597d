#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer and the address and
# undefined-behaviour sanitizers, then runs each for a bounded time on its
# committed seed corpus. Exits non-zero when a target finds a crash.
#
#   FUZZ_SECONDS   run time per target (default 30)
#   FUZZ_BUILD     build directory (default build-fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."

CXX=${FUZZ_CXX:-clang++}
if ! command -v "$CXX" >/dev/null; then
  CXX=$(ls /usr/bin/clang++-* 2>/dev/null | sort -V | tail -1 || true)
fi
if [ -z "$CXX" ] || ! command -v "$CXX" >/dev/null; then
  echo "run_fuzzers: clang++ not found" >&2
  exit 1
fi
seconds=${FUZZ_SECONDS:-30}
build=${FUZZ_BUILD:-build-fuzz}
mkdir -p "$build/obj"

flags=(-std=c++20 -g -O1 -Wall -Wextra -I. -fno-omit-frame-pointer
       -fsanitize=address,undefined -fno-sanitize-recover=undefined)

# The core pieces the targets need (no Qt, no simulator), and nlohmann-json.
flags+=($(pkg-config --cflags nlohmann_json 2>/dev/null || true))
objs=()
for src in config/*.cpp serial/*.cpp connection/*.cpp report/*.cpp; do
  obj="$build/obj/$(echo "$src" | tr / _).o"
  if [ ! -f "$obj" ] || [ "$src" -nt "$obj" ] ||
     [ -n "$(find config serial connection report -maxdepth 1 -name '*.h' -newer "$obj" | head -1)" ]; then
    "$CXX" "${flags[@]}" -fsanitize=fuzzer-no-link -c "$src" -o "$obj"
  fi
  objs+=("$obj")
done
rm -f "$build/libcore.a"
ar rcs "$build/libcore.a" "${objs[@]}"

status=0
for target in read_engine_fuzz profile_fuzz json_import_fuzz field_setting_fuzz firmware_fuzz diagnostic_fuzz; do
  "$CXX" "${flags[@]}" -fsanitize=fuzzer "fuzz/$target.cpp" "$build/libcore.a" -lutil -o "$build/$target"
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  echo "== $target: ${seconds}s on fuzz/corpus/$target"
  # New inputs go to a scratch corpus; the committed seeds are only read.
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      "$build/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$build/$target-" -print_final_stats=1 \
      "$corpus" "fuzz/corpus/$target" 2>"$build/$target.log"; then
    tail -60 "$build/$target.log" >&2
    echo "run_fuzzers: $target failed (artifacts in $build)" >&2
    status=1
  else
    grep -E 'stat::number_of_executed_units|stat::new_units_added|stat::peak_rss_mb' "$build/$target.log" || true
  fi
done
exit $status
