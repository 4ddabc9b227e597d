#!/usr/bin/env bash
# Installs what is missing, builds, and starts the desktop application with the
# built-in simulated modems offered as ports. Without a display it says so and
# runs the command-line demonstration instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
if [ -f build/CMakeCache.txt ] && ! grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' build/CMakeCache.txt; then
  rm -rf build  # configured earlier with another generator
fi
# The configuration of the normal build of scripts/setup-and-test.sh, flag for
# flag, so that the test command afterwards reuses this build instead of
# compiling it again.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/app/kelvane ]; then
  exec build/app/kelvane --demo "$@"
fi
echo "No display found: running the command-line demonstration against the simulated RM-40 485."
echo
demo() { echo "\$ kelvane-cli $*"; build/kelvane-cli "$@"; echo; }
profile=$(mktemp --suffix=.dat)
demo identify --port sim:3
demo read --port sim:3 -o "$profile"
echo "\$ kelvane-cli show $profile | head -20"
build/kelvane-cli show "$profile" | head -20
echo
demo verify --port sim:3 "$profile"
rm -f "$profile"
