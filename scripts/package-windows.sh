#!/usr/bin/env bash
# Builds comsetup for 64-bit Windows (MinGW-w64 against the static Qt kit of
# scripts/build-qt-windows.sh, build-mingw/) and packs, in build-mingw/package/:
#   comsetup-<version>-windows-x64.zip   comsetup.exe (the wizard), comsetup-cli.exe, a README
#                                        for Windows, comsetup's licence and Qt's (LGPL v3),
#                                        the notices of what is built in (SQLite among them);
#   comsetup-<version>-x64.msi           the same files as a Windows Installer package
#                                        (packaging/windows/comsetup.wxs);
#   comsetup-<version>-windows-x64-debug.zip
#                                        the programs' debug information, which the shipped
#                                        programs leave out (each names its file: a debugger
#                                        finds it when it lies beside the program);
#   comsetup-<version>-source.zip        the source the programs were built from, with the
#                                        script and patches that build the Qt kit;
#   qt6-base-source/                     Debian's Qt source package that the kit is built from.
# Qt is linked statically into comsetup.exe. The LGPL lets a user relink the program with a
# Qt of their own: the source zip holds everything comsetup adds to Qt and to its build, and
# README.txt says which Debian source package Qt comes from and how to rebuild both.
# Prints the binary zip's path as its last line.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/install-deps.sh test g++-mingw-w64-x86-64-posix googletest wixl >&2
COMSETUP_QT_MINGW_KIT=$(bash scripts/build-qt-windows.sh | tail -1)
COMSETUP_SQLITE_AMALGAMATION=$(bash scripts/sqlite-amalgamation.sh | tail -1)
export COMSETUP_QT_MINGW_KIT COMSETUP_SQLITE_AMALGAMATION
if [ ! -x build/app/comsetup_picture_generator ]; then # a host program draws the pictures
  cmake --preset default >&2
  cmake --build --preset default --target comsetup_picture_generator >&2
fi
cmake --preset mingw >&2
cmake --build --preset mingw --target comsetup comsetup-cli >&2

version=$(sed -n 's/^project(comsetup VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
qt_source=$(sed -n 's/^qt6-base //p' "$COMSETUP_QT_MINGW_KIT/.complete")
name=comsetup-$version-windows-x64
out=$root/build-mingw/package
stage=$out/$name
rm -rf "$stage"
mkdir -p "$stage"
debug_name=$name-debug
rm -rf "${out:?}/$debug_name"
mkdir -p "$out/$debug_name"
for exe in app/comsetup.exe cli/comsetup-cli.exe; do
  base=$(basename "$exe")
  cp "build-mingw/$exe" "$stage/"
  x86_64-w64-mingw32-objcopy --only-keep-debug "$stage/$base" "$out/$debug_name/$base.debug"
  x86_64-w64-mingw32-strip "$stage/$base"
  (cd "$out/$debug_name" && x86_64-w64-mingw32-objcopy --add-gnu-debuglink="$base.debug" "$stage/$base")
done
(cd "$out" && rm -f "$debug_name.zip" && cmake -E tar cf "$debug_name.zip" --format=zip "$debug_name")
rm -rf "${out:?}/$debug_name"
crlf() { sed 's/\r*$/\r/' "$1" >"$2"; } # Notepad's line ends
sed -e "s/@VERSION@/$version/g" -e "s/@QT_SOURCE@/$qt_source/g" docs/windows/README.txt >"$stage/README.txt.lf"
crlf "$stage/README.txt.lf" "$stage/README.txt"
rm "$stage/README.txt.lf"
crlf LICENSE "$stage/LICENSE.txt"
crlf /usr/share/common-licenses/LGPL-3 "$stage/LICENSE-Qt.txt"
crlf /usr/share/common-licenses/GPL-3 "$stage/LICENSE-Qt-GPL-3.txt" # the LGPL builds on it
# The notices of the libraries that Qt builds into the program, from Qt's own source.
source_package=$(bash scripts/qt-source-package.sh)
third=$(mktemp -d)
tar -xJf "$source_package"/qt6-base_*.orig.tar.xz -C "$third" --wildcards '*/src/3rdparty/*'
{
  echo "Libraries built into comsetup.exe as part of Qt, with their notices and licences."
  for dir in zlib libpng freetype harfbuzz-ng pcre2 double-conversion tinycbor md4c easing icc \
    rfc6234 blake2 pixman sha3 sha1 md4 md5; do
    d=$(echo "$third"/*/src/3rdparty/$dir)
    echo
    echo "==== $dir"
    cat "$d/qt_attribution.json"
    for f in "$d"/*LICEN[CS]E* "$d"/COPYING* "$d"/docs/FTL.TXT; do
      [ -f "$f" ] && { echo; echo "---- ${f#"$d"/}"; cat "$f"; }
    done
  done
  echo
  echo "==== sqlite3"
  echo "SQLite $(dpkg-query -W -f='${Version}' libsqlite3-dev), the journal's database, compiled"
  echo "from Debian's sqlite3 source package of that version."
  cat "$COMSETUP_SQLITE_AMALGAMATION/LICENSE.md"
} >"$third/notices.txt"
crlf "$third/notices.txt" "$stage/LICENSE-third-party.txt"
rm -rf "$third"
(cd "$out" && rm -f "$name.zip" && cmake -E tar cf "$name.zip" --format=zip "$name")
bash scripts/windows-msi.sh "$stage" "$version" build-mingw/app/pictures/comsetup.ico \
  "$out/comsetup-$version-x64.msi"

# Qt's source, as the LGPL asks: Debian's source package the kit was built from.
rm -rf "$out/qt6-base-source"
mkdir -p "$out/qt6-base-source"
cp "$source_package"/qt6-base_* "$out/qt6-base-source/"

# The source, as committed (and with this tree's changes when it has any).
source_name=comsetup-$version-source
rm -f "$out/$source_name.zip"
stash=$(git stash create 2>/dev/null || true)
git archive --format=zip --prefix="$source_name/" -o "$out/$source_name.zip" "${stash:-HEAD}"
echo "$out/$name.zip"
