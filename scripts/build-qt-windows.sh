#!/usr/bin/env bash
# Builds the Qt kit that the wizard for 64-bit Windows is built against, and prints its path
# on the last line. A static QtBase (Core, Gui, Widgets, Test; the windows, offscreen and
# minimal platform plugins; the windowsvista style) for x86_64-w64-mingw32, from Debian's own
# qt6-base source of the same version as the host tools installed here (moc, rcc, uic), with
# Debian's patches and ours (scripts/qt-windows-patches/, each saying why).
#
# The kit goes into a cache outside the work tree, keyed by the Qt version, the compiler, the
# configure flags and our patches:
#   ${COMSETUP_CACHE:-/var/cache/comsetup}/qt-<version>-mingw-<key>
# and is reused while the key is unchanged (about 35 minutes on 2 cores the first time). A
# non-root user without write access to /var/cache gets ~/.cache/comsetup. A kit counts as
# there only once its install has finished (the file .complete): a build that stopped
# half-way is built again.
#   scripts/build-qt-windows.sh            build when missing, print the path
#   scripts/build-qt-windows.sh --key      print the path it would use, build nothing
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/install-deps.sh run g++-mingw-w64-x86-64-posix dpkg-dev xz-utils perl >&2

host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev) # e.g. 6.4.2+dfsg-10
qt_version=${host_version%%+*}
qt_version=${qt_version%%-*}

# What the kit is built with; every line of it goes into the key.
configure_flags=(
  -static -release -xplatform win32-g++ -qt-host-path /usr
  -nomake tests -nomake examples
  -no-opengl -no-dbus -no-icu -no-glib -no-pkg-config
  -qt-zlib -qt-pcre -qt-libpng -qt-freetype -qt-harfbuzz
  # comsetup shows PNG pictures only, which Gui reads itself.
  -no-libjpeg -no-gif
  -no-feature-sql -no-feature-network -no-feature-xml -no-feature-concurrent
  -no-feature-printsupport -no-feature-direct2d -no-feature-vulkan
  # Smaller code: the wizard waits on people and on a serial line, not on the CPU.
  -optimize-size
  # Widgets, dialogs and formats comsetup never shows. Those named here are reached from code
  # comsetup does run (QWidget, QLabel, the styles), so section garbage collection alone
  # would keep them in every program. (Not inputdialog: the windowsvista style includes its
  # header whatever the feature says.)
  -no-feature-graphicsview -no-feature-mdiarea -no-feature-dockwidget -no-feature-dial
  -no-feature-toolbox -no-feature-wizard -no-feature-commandlinkbutton -no-feature-lcdnumber
  -no-feature-columnview -no-feature-fontdialog -no-feature-colordialog
  -no-feature-errormessage -no-feature-keysequenceedit -no-feature-splashscreen
  -no-feature-syntaxhighlighter -no-feature-movie -no-feature-textmarkdownreader
  -no-feature-textmarkdownwriter -no-feature-textodfwriter -no-feature-pdf
  -no-feature-imageformat_ppm -no-feature-imageformat_xbm -no-feature-jalalicalendar
  -no-feature-islamiccivilcalendar -no-feature-sharedmemory -no-feature-systemsemaphore
  -no-feature-systemtrayicon
  # One of Debian's patches would build this Android tool when cross-compiling.
  -no-feature-androiddeployqt
)
# Every function and datum of Qt in its own section, so that a program's linker keeps only
# what the program reaches (--gc-sections); Qt 6.4's own gc-binaries feature sets nothing.
toolchain='set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_C_FLAGS_INIT "-ffunction-sections -fdata-sections")
set(CMAKE_CXX_FLAGS_INIT "-ffunction-sections -fdata-sections")'

key=$({
  echo "$host_version"
  x86_64-w64-mingw32-g++-posix --version | head -1
  printf '%s\n' "${configure_flags[@]}" "$toolchain"
  cat scripts/qt-windows-patches/*.patch
} | sha256sum | cut -c1-12)

cache=${COMSETUP_CACHE:-/var/cache/comsetup}
if ! mkdir -p "$cache" 2>/dev/null || [ ! -w "$cache" ]; then
  cache=${XDG_CACHE_HOME:-$HOME/.cache}/comsetup
  mkdir -p "$cache"
fi
kit=$cache/qt-$qt_version-mingw-$key

if [ "${1:-}" = --key ] || [ -f "$kit/.complete" ]; then
  echo "$kit"
  exit 0
fi

# One build at a time per cache; a second caller waits and then finds the kit.
exec 9>"$cache/.qt-build.lock"
flock 9
if [ -f "$kit/.complete" ]; then
  echo "$kit"
  exit 0
fi

work=$cache/qt-build-$key
rm -rf "$work" "$kit"
mkdir -p "$work"
log=$work/build.log
echo "Building the Qt $qt_version kit for MinGW-w64 into $kit (log: $log)" >&2
start=$(date +%s)

source_package=$(bash scripts/qt-source-package.sh)
(cd "$work" && dpkg-source --no-check -x "$source_package"/qt6-base_*.dsc src) >>"$log" 2>&1 ||
  { tail -20 "$log" >&2; echo "Could not unpack $source_package" >&2; exit 1; }

# Debian's patches are applied by dpkg-source (3.0 quilt); ours follow.
for p in scripts/qt-windows-patches/*.patch; do
  patch -d "$work/src" -p1 --forward --quiet <"$p" >>"$log" 2>&1 ||
    { tail -20 "$log" >&2; echo "Patch $p does not apply" >&2; exit 1; }
done
printf '%s\n' "$toolchain" >"$work/mingw.cmake"

mkdir -p "$work/build"
(
  cd "$work/build"
  nice -n 19 ../src/configure -prefix "$kit" "${configure_flags[@]}" -- -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$work/mingw.cmake" \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  nice -n 19 cmake --build . --parallel "$(nproc)"
  cmake --install .
) >>"$log" 2>&1 || { tail -40 "$log" >&2; echo "The Qt kit did not build: see $log" >&2; exit 1; }

printf '%s\n' "qt6-base $host_version" "${configure_flags[@]}" >"$kit/.complete"
echo "Qt kit built in $(($(date +%s) - start)) s: $(du -sh "$kit" | cut -f1)" >&2
rm -rf "$work"
echo "$kit"
