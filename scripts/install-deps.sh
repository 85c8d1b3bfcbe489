#!/usr/bin/env bash
# Installs what comsetup needs on Debian 12, by set; each set includes the one before:
#   run    building and running the three programs (scripts/run.sh, the run preset)
#   test   building and running the tests and benchmarks (scripts/test.sh, developer presets)
#   dev    working on it: formatting, git, and looking at windows on Xvfb (xdotool, import)
# Scripts that need more name it after the set (e.g. clang for the clang builds):
#   scripts/install-deps.sh run|test|dev [package...]
# Idempotent: does nothing when every package is already there.
set -euo pipefail

run_packages=(
  g++ cmake ninja-build
  qt6-base-dev qt6-base-dev-tools libgl-dev libfontconfig-dev
  libcli11-dev nlohmann-json3-dev libsqlite3-dev
  fonts-dejavu-core
)
# iproute2 (ip) and util-linux (unshare, nsenter): the LAN tests' network namespaces.
test_packages=("${run_packages[@]}" libgtest-dev libgmock-dev libbenchmark-dev pkg-config libxcb-damage0-dev
  iproute2 util-linux)
dev_packages=("${test_packages[@]}" clang-format git xvfb xdotool imagemagick xauth)

set_name="${1:-}"
case "$set_name" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${test_packages[@]}") ;;
  dev) packages=("${dev_packages[@]}") ;;
  *)
    echo "usage: $0 run|test|dev [package...] (got '${set_name}')" >&2
    exit 2
    ;;
esac
shift
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
