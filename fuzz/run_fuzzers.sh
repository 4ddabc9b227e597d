#!/usr/bin/env bash
# Builds the fuzz targets (every fuzz/*_fuzz.cpp) with clang's libFuzzer and
# the address and undefined-behaviour sanitizers, then runs each for a bounded
# time on its committed seed corpus, FUZZ_JOBS of them at a time. Exits
# non-zero when a target finds a crash. `run_fuzzers.sh build` only builds.
#
#   FUZZ_SECONDS   run time per target (default 30)
#   FUZZ_BUILD     build directory (default build-fuzz)
#   FUZZ_JOBS      targets fuzzed at the same time, and compile jobs
#                  (default: the number of processors)
#
# Each target is one process on one processor, so running as many as there
# are processors gives every target the same time on a processor as running
# them one after another.
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
jobs=${FUZZ_JOBS:-$(nproc 2>/dev/null || echo 2)}
mkdir -p "$build/obj"
root=$(pwd)

# Line tables only: a crash report still names the file and line of every
# frame, and the objects compile faster than with full debug information.
flags=(-std=c++20 -gline-tables-only -O1 -Wall -Wextra -I"$root" -fno-omit-frame-pointer
       -fsanitize=address,undefined -fno-sanitize-recover=undefined)
# The core pieces the targets need (no Qt, no simulator), and nlohmann-json.
flags+=($(pkg-config --cflags nlohmann_json 2>/dev/null || true))

targets=()
for src in fuzz/*_fuzz.cpp; do
  targets+=("$(basename "$src" .cpp)")
done

# The build is a small Ninja file: parallel compiles, and a rebuild only of
# what changed (headers included).
{
  echo "cxx = $CXX"
  echo "flags = ${flags[*]}"
  echo "rule compile"
  echo "  command = \$cxx \$flags -fsanitize=fuzzer-no-link -MD -MF \$out.d -c \$in -o \$out"
  echo "  depfile = \$out.d"
  echo "  deps = gcc"
  echo "rule archive"
  echo "  command = rm -f \$out && ar rcs \$out \$in"
  echo "rule fuzzer"
  echo "  command = \$cxx \$flags -fsanitize=fuzzer -MD -MF \$out.d \$in -lutil -o \$out"
  echo "  depfile = \$out.d"
  echo "  deps = gcc"
  objs=()
  for src in config/*.cpp serial/*.cpp connection/*.cpp report/*.cpp; do
    obj="obj/$(echo "$src" | tr / _).o"
    echo "build $obj: compile $root/$src"
    objs+=("$obj")
  done
  echo "build libcore.a: archive ${objs[*]}"
  # A target that needs sources beyond the core names them in a line
  # "// Links: path/a.cpp path/b.cpp" of its own file.
  for target in "${targets[@]}"; do
    extra=()
    for src in $(sed -n 's|^// Links: ||p' "fuzz/$target.cpp"); do
      obj="obj/$(echo "$src" | tr / _).o"
      echo "build $obj: compile $root/$src"
      extra+=("$obj")
    done
    echo "build $target: fuzzer $root/fuzz/$target.cpp ${extra[*]} libcore.a"
  done
} >"$build/build.ninja.new"
# Rewritten only when it changed, so that Ninja keeps what it built.
if ! cmp -s "$build/build.ninja.new" "$build/build.ninja"; then
  mv "$build/build.ninja.new" "$build/build.ninja"
else
  rm "$build/build.ninja.new"
fi
ninja -C "$build" -j "$jobs"
[ "${1:-}" != build ] || exit 0

# fuzz TARGET: runs one target; its output goes to $build/TARGET.log.
fuzz() {
  local target=$1
  local corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  # New inputs go to a scratch corpus; the committed seeds are only read.
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "$build/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$build/$target-" -print_final_stats=1 \
    "$corpus" "fuzz/corpus/$target" 2>"$build/$target.log"
}

# report TARGET STATUS: what the target found, or its last output when it failed.
status=0
report() {
  local target=$1 result=$2
  echo "== $target: ${seconds}s on fuzz/corpus/$target"
  if [ "$result" -ne 0 ]; then
    tail -60 "$build/$target.log" >&2
    echo "run_fuzzers: $target failed (artifacts in $build)" >&2
    status=1
  else
    grep -E 'stat::number_of_executed_units|stat::new_units_added|stat::peak_rss_mb' "$build/$target.log" || true
  fi
}

declare -A running=()  # pid -> target
for target in "${targets[@]}"; do
  while [ "${#running[@]}" -ge "$jobs" ]; do
    result=0
    wait -n -p done_pid "${!running[@]}" || result=$?
    report "${running[$done_pid]}" "$result"
    unset "running[$done_pid]"
  done
  fuzz "$target" &
  running[$!]=$target
done
while [ "${#running[@]}" -gt 0 ]; do
  result=0
  wait -n -p done_pid "${!running[@]}" || result=$?
  report "${running[$done_pid]}" "$result"
  unset "running[$done_pid]"
done
exit $status
