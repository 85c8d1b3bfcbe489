#!/usr/bin/env bash
# SQLite for the Windows build: the amalgamation (sqlite3.c, sqlite3.h) made from Debian's
# sqlite3 source package of the version of libsqlite3-dev installed here, with Debian's
# patches applied, so both builds keep their journal with the same SQLite. Made once into the
# cache (tclsh generates it; under a minute) and its folder printed on the last line:
#   <cache>/sqlite3-<version>-amalgamation/{sqlite3.c, sqlite3.h, LICENSE.md}
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh run tcl dpkg-dev >&2
version=$(dpkg-query -W -f='${Version}' libsqlite3-dev)
source_package=$(bash scripts/debian-source.sh sqlite3 "$version")
out=${source_package%-source}-amalgamation
if [ -f "$out/.complete" ]; then
  echo "$out"
  exit 0
fi
rm -rf "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
log=$work/build.log
(
  cd "$work"
  dpkg-source --no-check -x "$source_package"/sqlite3_*.dsc src
  mkdir build && cd build
  ../src/configure --disable-tcl
  make sqlite3.c
) >"$log" 2>&1 || { tail -20 "$log" >&2; echo "Could not make SQLite's amalgamation" >&2; exit 1; }
mkdir -p "$out"
cp "$work/build/sqlite3.c" "$work/build/sqlite3.h" "$out/"
cp "$work/src/LICENSE.md" "$out/" 2>/dev/null || true
touch "$out/.complete"
echo "$out"
