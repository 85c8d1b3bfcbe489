#!/usr/bin/env bash
# Builds the Debian package of comsetup: a Release build (build-deb/) with Debian's default
# compiler and linker flags (dpkg-buildflags), packed by CPack. Prints the path of the .deb
# as its last line, and only that on standard output (the build's progress goes to standard
# error), so that deb=$(bash scripts/package.sh) takes it.
set -euo pipefail
cd "$(dirname "$0")/.."
exec 3>&1 1>&2

# What packing needs beyond building: dpkg-buildflags and dpkg-shlibdeps, and `file`, with
# which CPack finds the programs whose libraries give the package's Depends.
bash scripts/install-deps.sh run dpkg-dev file

# Debian's flags (optimisation, hardening); CMake's Release adds only -DNDEBUG after them.
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags="$(dpkg-buildflags --get LDFLAGS)"
cmake -S . -B build-deb -G Ninja \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS="$cxxflags" \
  -DCMAKE_CXX_FLAGS_RELEASE="-DNDEBUG" \
  -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
  -DCOMSETUP_BUILD_TESTS=OFF \
  -DCOMSETUP_BUILD_BENCH=OFF >/dev/null
cmake --build build-deb
rm -f build-deb/package/*.deb
if ! (cd build-deb && cpack -G DEB >cpack.log 2>&1); then
  cat build-deb/cpack.log >&2
  exit 1
fi

deb=$(ls build-deb/package/comsetup_*.deb)
echo "$PWD/$deb" >&3
