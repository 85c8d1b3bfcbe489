#!/usr/bin/env bash
# Builds comsetup for 64-bit Windows with MinGW-w64 (build-mingw/: the wizard comsetup.exe,
# comsetup-cli.exe and the tests) against the Qt kit of scripts/build-qt-windows.sh (built
# into its cache when missing, about 35 minutes), and proves them under Wine on this Linux
# machine:
#   1. the serial, download, CLI, numeric field and program tests, the windows on Qt's
#      offscreen platform, the serial ones against COM ports mapped to pseudo-terminals
#      (COM5<->COM6 wired together, COM7 never read, COM8 hangs up);
#   2. a full download by comsetup-cli.exe against comsetup-sim (Linux side) on COM9, which
#      must end "Setup Complete" with the stand-in's decoded configuration as given;
#   3. the failures: a missing port, and a line that vanishes mid-download;
#   4. a full download by the wizard, comsetup.exe on Xvfb driven by real clicks and key
#      presses (tests/windows/wizard_download.sh);
#   5. the Windows Installer package of scripts/package-windows.sh: silent install, the
#      installed programs at work, an upgrade, a silent uninstall (tests/windows/msi_install.sh).
# The machine's own serial devices, which Wine maps to COM names by itself, are unmapped in
# the test prefix; COM1 is a plain file there. Wine lacks modem lines on a pseudo-terminal:
# tests/windows/ptymodem.c (LD_PRELOAD, this harness only) answers them. Installs what is
# missing with apt-get.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
stage_start=$(date +%s)

bash scripts/install-deps.sh test xvfb xdotool imagemagick g++-mingw-w64-x86-64-posix wine wine64 googletest gcc libc6-dev \
  tesseract-ocr tesseract-ocr-eng fonts-wine wixl msitools
COMSETUP_QT_MINGW_KIT=$(bash scripts/build-qt-windows.sh | tail -1)
COMSETUP_SQLITE_AMALGAMATION=$(bash scripts/sqlite-amalgamation.sh | tail -1)
export COMSETUP_QT_MINGW_KIT COMSETUP_SQLITE_AMALGAMATION

# The stand-in is a Linux program, and the pictures are drawn by a host program: both from
# the default build (built here when missing).
sim=$root/build/sim/comsetup-sim
if [ ! -x "$sim" ] || [ ! -x build/app/comsetup_picture_generator ]; then
  cmake --preset default >/dev/null
  cmake --build --preset default --target comsetup-sim comsetup_picture_generator
fi

export WINEDEBUG=-all
export WINEPREFIX=${COMSETUP_WINEPREFIX:-$root/build-mingw/wine-prefix}
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono or Gecko installer prompts
# Wine passes no QT_* variable to a Windows program but gives it WINEQT_* as QT_*.
# A failing Qt start prints its reason instead of opening a message box that waits for ever.
export WINEQT_FORCE_STDERR_LOGGING=1
mkdir -p build-mingw
harness=$root/build-mingw/wine-harness
rm -rf "$harness"
mkdir -p "$harness"
gcc -O2 -Wall -Wextra -shared -fPIC -o "$harness/ptymodem.so" tests/windows/ptymodem.c -ldl
gcc -O2 -Wall -Wextra -o "$harness/ptylink" tests/windows/ptylink.c

pids=()
# shellcheck source=../tests/windows/harness.sh
source tests/windows/harness.sh
start_xvfb

# One warm wineserver for everything; its output (it can be long once a pty closes) goes to a
# file, and nothing of Wine's keeps this script's output open.
if [ ! -d "$WINEPREFIX/dosdevices" ]; then
  echo "Making the Wine prefix $WINEPREFIX"
  wineboot -u >"$harness/wineboot.log" 2>&1 </dev/null
fi
wineserver -w 2>/dev/null || true # a server left by wineboot (or a run before) ends first
wineserver -p >"$harness/wineserver.log" 2>&1 </dev/null &
# Wine's own services start with the first program and outlive it: started here, they hold
# a log file open rather than the output of a test run, which would then never end.
wine cmd.exe /c exit >"$harness/warm-up.log" 2>&1 </dev/null || true
# At that start Wine gave the machine's serial devices (/dev/ttyS*, ttyUSB*, ttyACM*), which
# may be real ports, the first free COM names (COM1 for /dev/ttyS0): their links go, so such a
# name opens as a device that is not a serial port, and the harness maps its own below.
rm -f "$WINEPREFIX"/dosdevices/com[0-9]*
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wineserver -k >/dev/null 2>&1 || true
}
trap cleanup EXIT

cmake --preset mingw >/dev/null
cmake --build --preset mingw

setsid "$harness/ptylink" "$harness" >"$harness/ptylink.out" 2>&1 </dev/null &
pids+=($!)
for _ in $(seq 50); do grep -q ready "$harness/ptylink.out" 2>/dev/null && break; sleep 0.1; done
for link in "$WINEPREFIX"/dosdevices/com[0-9]*; do # none of the machine's own is left
  [ -L "$link" ] || continue
  echo "FAILED: $(basename "$link") is mapped to $(readlink "$link") in the test prefix"
  exit 1
done
# COM1, the program's default port, is a plain file on every machine: not a serial port.
touch "$harness/not-a-port"
map com1 "$harness/not-a-port"
map com5 "$harness/pair-a"
map com6 "$harness/pair-b"
map com7 "$harness/stall"
map com8 "$harness/hangup"
export COMSETUP_TEST_COM_PAIR=COM5,COM6 COMSETUP_TEST_COM_STALL=COM7 COMSETUP_TEST_COM_HANGUP=COM8

# The journal is the user's (%LOCALAPPDATA%\comsetup): each run starts without one.
journal=$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/comsetup/journal.sqlite
rm -f "$journal" "$journal-wal" "$journal-shm"

echo "== Windows tests under Wine"
# Qt's offscreen platform on Windows reads its fonts from one folder: there, the family that
# the windows get on Linux (DejaVu Sans, its condensed faces too), so captions measure alike,
# and its fixed-pitch face for the logs.
mkdir -p "$harness/fonts"
ln -s /usr/share/fonts/truetype/dejavu/DejaVuSans{,-Bold,-Oblique,-BoldOblique}.ttf \
  /usr/share/fonts/truetype/dejavu/DejaVuSansCondensed{,-Bold,-Oblique,-BoldOblique}.ttf \
  /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf "$harness/fonts/"
# Each test program runs once, all its tests in one Wine process (tests/windows/
# run_gtest_program.sh); one that exits before printing anything is started once more and
# named in $retries. One at a time: the COM port tests share their ports, and Wine does not
# open them exclusively.
retries=$harness/test-retries.txt
: >"$retries"
find build-mingw/tests -name '*.xml' -delete # the programs' reports of this run only
COMSETUP_TEST_RETRIES=$retries WINEQT_QPA_PLATFORM=offscreen \
  WINEQT_QPA_FONTDIR="Z:${harness//\//\\}\\fonts" LD_PRELOAD=$harness/ptymodem.so \
  ctest --preset mingw -j1
reports=$(find build-mingw/tests -name '*.xml' -exec grep -l '<testsuites ' {} +)
# shellcheck disable=SC2086 # file names without blanks
echo "$(grep -ho '<testsuites tests="[0-9]*"' $reports | grep -o '[0-9]*' |
  awk '{ n += $1 } END { print n }') GoogleTest tests passed in $(wc -w <<<"$reports") program runs under Wine"
if [ -s "$retries" ]; then
  echo "Started once more after exiting without a word (then passed):"
  sed 's/^/  /' "$retries"
fi

cli() {  # runs comsetup-cli.exe under Wine with the shim; prints its exit code last
  local rc=0
  LD_PRELOAD=$harness/ptymodem.so wine build-mingw/cli/comsetup-cli.exe "$@" \
    >"$harness/cli.out" 2>"$harness/cli.err" </dev/null || rc=$?
  echo "$rc"
}
fail() {
  echo "FAILED: $*"
  echo "--- comsetup-cli output"; cat "$harness/cli.out" "$harness/cli.err"
  exit 1
}

echo "== Full download by comsetup-cli.exe against comsetup-sim"
start_sim converter
rc=$(COMSETUP_TRACE=$harness/download-trace.txt cli download --port COM9 --ip 10.20.30.40 \
  --mask 255.255.0.0 --local-port 4001 --baud 38400 --parity even --flow cts-rts --plain)
[ "$rc" = 0 ] || fail "exit code $rc, not 0"
tail -2 "$harness/cli.out" | tr -d '\r' | head -1 | grep -qx "Setup Complete" ||
  fail "the verdict is not Setup Complete"
tail -1 "$harness/cli.out" | tr -d '\r' |
  grep -qx "  10.20.30.40/16, 38400 8E1, flow CTS/RTS, port 4001, saved by firmware 01.8" ||
  fail "the line under the verdict does not say what was written"
for _ in $(seq 50); do grep -q "end of download" "$harness/converter.out" && break; sleep 0.1; done
for want in "ip +10\.20\.30\.40$" "host bits +16\b" "baud +38400$" "local port +4001$" \
  "saved +yes$"; do
  grep -Eq "^  $want" "$harness/converter.out" ||
    { cat "$harness/converter.out"; fail "the stand-in did not decode \"$want\""; }
done
grep -q "^download 1: complete" "$harness/converter.out" || fail "the stand-in did not see a complete download"
echo "Setup Complete; the stand-in decoded the configuration as given"

echo "== A port that does not exist"
rc=$(cli download --port COM42 --plain)
[ "$rc" = 3 ] || fail "exit code $rc, not 3 (port error)"
grep -q "Error opening serial port" "$harness/cli.out" "$harness/cli.err" ||
  fail "no \"Error opening serial port\""

echo "== A line that vanishes mid-download"
start_sim vanish --fail vanish
rc=$(cli download --port COM9 --plain)
[ "$rc" = 1 ] || fail "exit code $rc, not 1 (error on setup)"
grep -q "ERROR ON SETUP" "$harness/cli.out" || fail "no ERROR ON SETUP"
grep -q "(Error: " "$harness/cli.err" || fail "the cause is not reported with its code"

echo "== The journal of these downloads, in the user's data folder"
rc=$(cli journal --port COM9)
[ "$rc" = 0 ] || fail "journal: exit code $rc, not 0"
tr -d '\r' <"$harness/cli.out" >"$harness/journal.txt"
grep -Eq "^[0-9]+ +[-0-9T:Z]+ +COM9 +remote-com +10\.20\.30\.40 +- +01\.8 +complete *$" "$harness/journal.txt" ||
  fail "the journal does not hold the complete download"
grep -Eq "^[0-9]+ +[-0-9T:Z]+ +COM9 +remote-com +192\.168\.1\.200 +- +01\.8 +error-on-setup *$" "$harness/journal.txt" ||
  fail "the journal does not hold the failed download"
[ "$(grep -c COM9 "$harness/journal.txt")" = 2 ] || fail "the journal holds other than two downloads on COM9"
[ -s "$journal" ] || fail "no journal at $journal"
echo "Both downloads on COM9 are in $journal"

# shellcheck source=../tests/windows/wizard_download.sh
source tests/windows/wizard_download.sh
rc=$(cli journal export --csv "Z:${harness//\//\\}\\journal.csv")
[ "$rc" = 0 ] || fail "journal export: exit code $rc, not 0"
grep ',comsetup,' "$harness/journal.csv" | grep ',COM9,' | grep -q ',complete,' ||
  fail "the wizard's download is not in the journal"
echo "The wizard's download is in the journal too"

package=$(bash scripts/package-windows.sh 2>"$harness/package.log" | tail -1) ||
  { tail -30 "$harness/package.log"; echo "FAILED: scripts/package-windows.sh"; exit 1; }
msi=$(dirname "$package")/comsetup-$(sed -n 's/^project(comsetup VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)-x64.msi
# shellcheck source=../tests/windows/msi_install.sh
source tests/windows/msi_install.sh

echo "Windows build: every test passed under Wine ($(($(date +%s) - stage_start)) s)"
