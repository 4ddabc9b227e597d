#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#  1. the normal build: core, simulator, command line, desktop application,
#     unit, widget and end-to-end tests;
#  2. everything again under the address and undefined-behaviour sanitizers:
#     the core, the desktop application and their tests, the widget tests on
#     the offscreen platform;
#  3. the fuzzers, each for a short bounded time on the committed corpus;
#  4. the Debian package, its contents and the unpacked programs.
# At the end (also when a step fails) it prints how long each phase took, on
# the wall clock and in processor time (user + system of the programs it ran).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

phase_names=()
phase_wall=()
phase_cpu=()
run_start=$EPOCHREALTIME
current_phase=""

# Processor time, in clock ticks, of the finished child processes of this
# shell (fields 16 and 17 of /proc/PID/stat: cutime and cstime).
children_ticks() {
  local stat
  read -r stat </proc/$$/stat
  stat=${stat##*) }
  local fields
  read -r -a fields <<<"$stat"
  echo $((fields[13] + fields[14]))
}
ticks_per_second=$(getconf CLK_TCK)

# phase NAME COMMAND...: runs COMMAND and records its wall and processor time.
phase() {
  local name=$1
  shift
  local wall0=$EPOCHREALTIME cpu0
  cpu0=$(children_ticks)
  local status=0
  current_phase=$name
  "$@" || status=$?
  phase_names+=("$name")
  phase_wall+=("$(awk -v a="$wall0" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }')")
  phase_cpu+=("$(awk -v a="$cpu0" -v b="$(children_ticks)" -v hz="$ticks_per_second" 'BEGIN { printf "%.1f", (b - a) / hz }')")
  [ "$status" -ne 0 ] || current_phase=""
  return $status
}

print_phases() {
  local status=$?
  local i total_cpu=0
  echo
  printf '%-22s %9s %9s\n' "Phase" "wall (s)" "cpu (s)"
  for i in "${!phase_names[@]}"; do
    printf '%-22s %9s %9s\n' "${phase_names[$i]}" "${phase_wall[$i]}" "${phase_cpu[$i]}"
  done
  total_cpu=$(awk -v b="$(children_ticks)" -v hz="$ticks_per_second" 'BEGIN { printf "%.1f", b / hz }')
  printf '%-22s %9s %9s\n' "total" \
    "$(awk -v a="$run_start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }')" "$total_cpu"
  [ "$status" -eq 0 ] || echo "Failed (exit status $status)${current_phase:+ in phase \"$current_phase\"}."
}
trap print_phases EXIT

phase apt bash scripts/install-deps.sh

# Both builds use Ninja; a folder configured earlier with another generator is
# started afresh, since CMake cannot switch it.
for dir in build build-asan; do
  if [ -f "$dir/CMakeCache.txt" ] && ! grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' "$dir/CMakeCache.txt"; then
    rm -rf "$dir"
  fi
done

phase configure cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
phase build cmake --build build -j"$jobs"
phase tests ctest --test-dir build --output-on-failure -j"$jobs"

phase "sanitizer configure" cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKELVANE_SANITIZE=ON
phase "sanitizer build" cmake --build build-asan -j"$jobs"
phase "sanitizer tests" env ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 QT_QPA_PLATFORM=offscreen \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"

if [ -f fuzz/run_fuzzers.sh ]; then
  phase fuzz bash fuzz/run_fuzzers.sh
fi
phase package bash scripts/check-package.sh build
echo "All tests passed."
