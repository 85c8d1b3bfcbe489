#!/usr/bin/env bash
# Builds comsetup-cli.exe for 64-bit Windows (MinGW-w64, build-mingw/) and packs
# comsetup-<version>-windows-x64.zip with the program, a README for Windows and the licence.
# Prints the zip's path as its last line.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update >&2
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends \
    g++-mingw-w64-x86-64-posix googletest >&2
fi
cmake --preset mingw >&2
cmake --build --preset mingw --target comsetup-cli >&2
version=$(sed -n 's/^project(comsetup VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=comsetup-$version-windows-x64
stage=$root/build-mingw/package/$name
rm -rf "$stage"
mkdir -p "$stage"
cp build-mingw/cli/comsetup-cli.exe "$stage/"
x86_64-w64-mingw32-strip "$stage/comsetup-cli.exe"
sed 's/$/\r/' docs/windows/README.txt >"$stage/README.txt"
sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
(cd "$root/build-mingw/package" && rm -f "$name.zip" && cmake -E tar cf "$name.zip" --format=zip "$name")
echo "$root/build-mingw/package/$name.zip"
