#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
set -euo pipefail
packages=(cmake ninja-build make g++ pkg-config libgtest-dev libgmock-dev qt6-base-dev clang libclang-rt-14-dev xvfb xauth
  nlohmann-json3-dev ansible-core lintian ansible-lint appstream
  qt6-base-private-dev
  desktop-file-utils librsvg2-bin dpkg-dev python3-xdg lxmenu-data
  fonts-urw-base35
  ser2net
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq || true
  $SUDO apt-get install -y -qq "${missing[@]}"
fi
