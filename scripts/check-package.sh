#!/usr/bin/env bash
# Checks a Debian package of comsetup (scripts/package.sh builds it):
#   - its files: the three programs, the menu entry and icons, manual pages, README,
#     copyright and changelog;
#   - Depends: the Qt runtime, nothing from a -dev package;
#   - lintian reports no errors;
#   - the installed programs work, run from a fresh folder: --version of each, the wizard
#     starts (offscreen), and comsetup-cli completes a download against comsetup-sim.
# As root the package is installed with its dependencies (apt-get) and removed afterwards;
# otherwise, with --extract, or when comsetup is installed already (it is left as it is), it
# is unpacked into the fresh folder (dpkg -x) and run there.
#   scripts/check-package.sh [--extract] build-deb/package/comsetup_<version>_<arch>.deb
set -euo pipefail

extract=0
[ "$(id -u)" -ne 0 ] && extract=1
if [ "${1:-}" = "--extract" ]; then
  extract=1
  shift
fi
deb=$(realpath "${1:?usage: check-package.sh [--extract] DEB}")

fail() {
  echo "check-package: $*" >&2
  exit 1
}

if ! command -v lintian >/dev/null; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends lintian
fi

version=$(dpkg-deb -f "$deb" Version)
echo "== $deb (version $version)"

# --- files ----------------------------------------------------------------------------------
listing=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
expected=(
  ./usr/bin/comsetup ./usr/bin/comsetup-cli ./usr/bin/comsetup-sim
  ./usr/share/applications/comsetup.desktop
  ./usr/share/man/man1/comsetup.1.gz ./usr/share/man/man1/comsetup-cli.1.gz
  ./usr/share/man/man1/comsetup-sim.1.gz
  ./usr/share/doc/comsetup/README.md ./usr/share/doc/comsetup/copyright
  ./usr/share/doc/comsetup/changelog.gz
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/comsetup.png")
done
for file in "${expected[@]}"; do
  grep -qxF "$file" <<<"$listing" || fail "$file is not in the package"
done
echo "files: the ${#expected[@]} expected files are there"

grep -q '^Categories=.*Utility;.*Settings;' <(dpkg-deb --fsys-tarfile "$deb" |
  tar -xO ./usr/share/applications/comsetup.desktop) || fail "the menu entry is not in Utility/Settings"

# --- Depends --------------------------------------------------------------------------------
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for needed in libqt6widgets6 qt6-qpa-plugins libc6; do
  grep -qE "(^|, )$needed( |,|$)" <<<"$depends" || fail "Depends lacks $needed"
done
if grep -qE -- '-dev( |,|$)' <<<"$depends"; then
  fail "Depends names a -dev package"
fi

# --- lintian --------------------------------------------------------------------------------
lintian_out=$(lintian --fail-on none "$deb" 2>&1) || true
[ -n "$lintian_out" ] && echo "$lintian_out"
if grep -q '^E:' <<<"$lintian_out"; then
  fail "lintian reports errors"
fi
echo "lintian: no errors"

# --- the installed programs -----------------------------------------------------------------
work=$(mktemp -d)
sim_pid=""
installed=0
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  if [ "$installed" -eq 1 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get remove -y comsetup >/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
if [ "$extract" -eq 0 ] &&
  dpkg-query -W -f='${Status}' comsetup 2>/dev/null | grep -q "install ok installed"; then
  echo "comsetup is installed on this machine: the package is unpacked instead, to leave it be"
  extract=1
fi
if [ "$extract" -eq 1 ]; then
  dpkg -x "$deb" "$work/root"
  bin="$work/root/usr/bin"
  echo "unpacked into $work/root"
else
  apt-get update >/dev/null
  installed=1 # removed on exit, even after a failed install
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$deb"
  bin=/usr/bin
  [ "$(command -v comsetup-cli)" = /usr/bin/comsetup-cli ] || fail "comsetup-cli is not on PATH"
  echo "installed with its dependencies"
fi

for program in comsetup comsetup-cli comsetup-sim; do
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$bin/$program" --version) ||
    fail "$program --version failed"
  [ "$out" = "$program $version" ] || fail "$program --version printed \"$out\""
  echo "$out"
  ! ldd "$bin/$program" | grep "not found" || fail "$program misses libraries"
done

# The wizard starts and stays up until it is ended (a crash or a missing plugin ends it first).
rc=0
QT_QPA_PLATFORM=offscreen timeout 3 "$bin/comsetup" >wizard.log 2>&1 || rc=$?
[ "$rc" -eq 124 ] || { cat wizard.log; fail "comsetup ended by itself (exit $rc)"; }
echo "comsetup: the wizard runs"

# A whole download (about 30 s) of the installed comsetup-cli into the installed stand-in.
setsid "$bin/comsetup-sim" --firmware 01.8 --link "$work/converter" --quiet >sim.log 2>&1 &
sim_pid=$!
for _ in $(seq 100); do [ -e "$work/converter" ] && break; sleep 0.1; done
[ -e "$work/converter" ] || { cat sim.log; fail "comsetup-sim did not start"; }
rc=0
COMSETUP_COM1="$work/converter" "$bin/comsetup-cli" download --port COM1 --plain \
  >download.log 2>&1 || rc=$?
# The verdict is followed by one line saying what was written.
verdict=$(tail -n 2 download.log | head -n 1)
if [ "$rc" -ne 0 ] || [ "$verdict" != "Setup Complete" ]; then
  cat download.log
  fail "the download ended with exit $rc: $verdict"
fi
echo "comsetup-cli download against comsetup-sim: $verdict ($(tail -n 1 download.log | sed 's/^ *//'))"
echo "package checked: $deb"
