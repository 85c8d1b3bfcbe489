#!/usr/bin/env bash
# Builds the Windows Installer package of comsetup from the folder of the Windows zip
# (packaging/windows/comsetup.wxs says what it installs, where, and why):
#   scripts/windows-msi.sh FOLDER VERSION ICON OUT.msi
# VERSION is the product version (the project version; the upgrade test packs the same
# programs under a higher one). Installs wixl when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
wxs=$PWD/packaging/windows/comsetup.wxs
folder=$(realpath "${1:?folder of the Windows zip}")
version=${2:?product version}
icon=$(realpath "${3:?icon}")
out=$(realpath -m "${4:?output .msi}")
bash scripts/install-deps.sh test wixl >&2
mkdir -p "$(dirname "$out")"
rm -f "$out"
# wixl reads its sources relative to the folder it runs in, and only there.
cd "$(dirname "$folder")"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! wixl --arch x64 -D Version="$version" -D SourceDir="$(basename "$folder")" \
  -D IconFile="$(realpath --relative-to=. "$icon")" -o "$out" "$wxs" >"$log" 2>&1 ||
  [ ! -s "$out" ] || grep -q CRITICAL "$log"; then
  cat "$log" >&2
  echo "wixl could not make $out" >&2
  rm -f "$out"
  exit 1
fi
