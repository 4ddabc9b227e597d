#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#  1. the normal build: core, simulator, command line, desktop application,
#     unit, widget and end-to-end tests;
#  2. everything again under the address and undefined-behaviour sanitizers:
#     the core, the desktop application and their tests, the widget tests on
#     the offscreen platform;
#  3. the fuzzers, each for a short bounded time on the committed corpus;
#  4. the Debian package, its contents and the unpacked programs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKELVANE_SANITIZE=ON
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 QT_QPA_PLATFORM=offscreen \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"

if [ -x fuzz/run_fuzzers.sh ] || [ -f fuzz/run_fuzzers.sh ]; then
  bash fuzz/run_fuzzers.sh
fi
bash scripts/check-package.sh build
echo "All tests passed."
