#!/usr/bin/env bash
# Installs what building, running and testing comsetup needs on Debian 12.
# Idempotent: does nothing when every package is already there.
#   scripts/install-deps.sh [package...]   also the packages named (what one script needs more)
set -euo pipefail

packages=(
  g++ clang cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev libxcb-damage0-dev
  libcli11-dev nlohmann-json3-dev libsqlite3-dev
  clang-format xvfb xdotool imagemagick xauth
  fonts-dejavu-core
)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
