#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#  1. the normal build: core, simulator, command line, desktop application,
#     unit, widget and end-to-end tests;
#  2. everything again under the address and undefined-behaviour sanitizers:
#     the core, the desktop application and their tests, the widget tests on
#     the offscreen platform;
#  3. the fuzzers, each for a short bounded time on the committed corpus;
#  4. the Debian packages, built with Debian's hardening flags, their contents
#     and the unpacked programs.
# At the end (also when a step fails) it prints how long each phase took, on
# the wall clock and in processor time (user + system of the programs it ran).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
# Tests at a time: four per processor. Most tests spend their time waiting
# on the simulated modems' clocks (the normal build's tests use about one
# tenth of the processor time they take), so running one per processor would
# leave the processors idle; the few that must be alone say so themselves.
test_jobs=$((jobs * 4))

# phase NAME COMMAND...: runs COMMAND in a subshell and records its wall time
# and the processor time (user + system) of the programs it ran. A phase may
# run in the background alongside another.
records=$(mktemp -d)
run_start=$EPOCHREALTIME
ticks_per_second=$(getconf CLK_TCK)
# Processor time, in clock ticks, of the finished children of process $1
# (cutime and cstime, fields 16 and 17 of /proc/PID/stat).
children_ticks() {
  local stat fields
  read -r stat </proc/"$1"/stat
  read -r -a fields <<<"${stat##*) }"
  echo $((fields[13] + fields[14]))
}
phase() {
  local name=$1
  shift
  local record
  record="$records/$(tr -c 'a-z0-9\n' _ <<<"$name")"
  echo "$name" >"$record.name"
  (
    me=$BASHPID
    wall0=$EPOCHREALTIME
    cpu0=$(children_ticks "$me")
    status=0
    "$@" || status=$?
    echo "$wall0 $EPOCHREALTIME $(($(children_ticks "$me") - cpu0)) $status" >"$record.time"
    exit $status
  )
}
# Ends a background phase's process tree (when another phase failed).
stop_tree() {
  local child
  for child in $(pgrep -P "$1" || true); do stop_tree "$child"; done
  kill "$1" 2>/dev/null || true
}
background=()

print_phases() {
  local status=$? pid
  for pid in "${background[@]}"; do stop_tree "$pid"; done
  echo
  printf '%-22s %9s %9s %9s\n' "Phase" "start (s)" "wall (s)" "cpu (s)"
  # In the order the phases started; one that did not end has no times.
  for record in "$records"/*.name; do
    record=${record%.name}
    start=$EPOCHREALTIME
    [ ! -f "$record.time" ] || read -r start end ticks result <"$record.time"
    echo "$start $record"
  done | sort -n | while read -r start record; do
    if [ -f "$record.time" ]; then
      read -r start end ticks result <"$record.time"
      awk -v n="$(cat "$record.name")" -v s="$start" -v e="$end" -v t="$ticks" -v hz="$ticks_per_second" \
        -v r="$result" -v t0="$run_start" \
        'BEGIN { printf "%-22s %9.1f %9.1f %9.1f%s\n", n, s - t0, e - s, t / hz, r == 0 ? "" : "  failed" }'
    else
      printf '%-22s %9s %9s %9s  unfinished\n' "$(cat "$record.name")" "" "" ""
    fi
  done
  awk -v t0="$run_start" -v e="$EPOCHREALTIME" -v t="$(children_ticks $$)" -v hz="$ticks_per_second" \
    'BEGIN { printf "%-22s %9s %9.1f %9.1f\n", "total", "", e - t0, t / hz }'
  rm -rf "$records"
  [ "$status" -eq 0 ] || echo "Failed (exit status $status)."
}
trap print_phases EXIT

# wait_for PID LOG: waits for a background phase; shows its log when it failed.
wait_for() {
  local status=0
  wait "$1" || status=$?
  if [ "$status" -ne 0 ]; then
    tail -100 "$2"
    echo "Failed: see $2"
    return $status
  fi
}

phase apt bash scripts/install-deps.sh

# Both builds use Ninja; a folder configured earlier with another generator is
# started afresh, since CMake cannot switch it.
for dir in build build-asan build-deb; do
  if [ -f "$dir/CMakeCache.txt" ] && ! grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' "$dir/CMakeCache.txt"; then
    rm -rf "$dir"
  fi
done
# Debug information: line tables only (-g1), enough for the backtraces of a
# failed test and the sanitizers' reports, and much cheaper to produce than
# the full -g with optimisation. The benchmarks are built once, in the normal
# build.
phase configure cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
phase "sanitizer configure" cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKELVANE_SANITIZE=ON \
  -DCMAKE_CXX_FLAGS_DEBUG="-g1" -DKELVANE_BUILD_BENCH=OFF

# The two builds run side by side, the normal one first in line: the
# sanitizer build (nice 10) takes the processor time the normal one leaves
# (its links, then its tests waiting on their clocks), so no processor idles
# while there is something to compile.
phase "sanitizer build" nice -n 10 cmake --build build-asan -j"$jobs" >build-asan/build.log 2>&1 &
sanitizer_build=$!
background+=($sanitizer_build)
phase build cmake --build build -j"$jobs"
# A test that fails is run once more, and the run fails only when it fails
# again: a failure still shows in the log (with its output), so a test that
# depends on the machine's load is seen and mended, but one slow moment of a
# busy machine does not throw away the whole run.
phase tests ctest --test-dir build --output-on-failure --repeat until-pass:2 -j"$test_jobs"
wait_for $sanitizer_build build-asan/build.log

# The sanitizer tests leave about a third of the processors idle: the fuzzers'
# build and the package check take it, at a lower priority.
mkdir -p build-fuzz
phase "fuzz build" nice -n 15 bash fuzz/run_fuzzers.sh build >build-fuzz/build.log 2>&1 &
fuzz_build=$!
background+=($fuzz_build)
# The packages build in their own tree (build-deb) with Debian's hardening
# flags.
phase package nice -n 15 bash scripts/check-package.sh build-deb >build/package.log 2>&1 &
package=$!
background+=($package)
# The sanitizer tests start the longest first: CTest orders by the times
# the normal build's tests just took (the same tests under the same names).
mkdir -p build-asan/Testing/Temporary
cp build/Testing/Temporary/CTestCostData.txt build-asan/Testing/Temporary/ 2>/dev/null || true
phase "sanitizer tests" env ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 QT_QPA_PLATFORM=offscreen \
  ctest --test-dir build-asan --output-on-failure --repeat until-pass:2 -j"$test_jobs"
wait_for $fuzz_build build-fuzz/build.log
wait_for $package build/package.log
cat build/package.log
background=()

phase fuzz bash fuzz/run_fuzzers.sh
echo "All tests passed."
