#!/usr/bin/env bash
# The Windows build measured under Wine next to the Linux build, on this machine:
#   1. one byte's round trip (latency median/p99, CPU per exchange) through the port component,
#      comsetup_serial_roundtrip.exe under Wine (Win32 backend, COM10) and the Linux build
#      (POSIX backend) against the same pty echo, in interleaved rounds;
#   2. far-end pauses of full comsetup-cli.exe downloads: comsetup-sim --spin stamps each byte
#      as it arrives; near-end pauses from the download's own trace;
#   3. the same far-end pauses of full downloads by the wizard, comsetup.exe on Xvfb driven
#      as tests/windows/wizard_download.sh drives it (Point to Point, IP 192.168.1.77).
# Each figure line carries the load average at the time. Needs what scripts/test-windows.sh
# installs and builds (run it first once).
#   bash bench/wine/measure.sh [ROUNDS] [DOWNLOADS] [EXCHANGES]
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
rounds=${1:-5}
downloads=${2:-3}
exchanges=${3:-2000}

cmake --build build --target comsetup_serial_roundtrip comsetup_far_end_pauses comsetup-sim >/dev/null
export COMSETUP_QT_MINGW_KIT=${COMSETUP_QT_MINGW_KIT:-$(bash scripts/build-qt-windows.sh --key)}
cmake --build --preset mingw --target comsetup_serial_roundtrip comsetup-cli comsetup >/dev/null

export WINEDEBUG=-all
export WINEPREFIX=${COMSETUP_WINEPREFIX:-$root/build-mingw/wine-prefix}
export WINEDLLOVERRIDES="mscoree,mshtml="
h=$root/build-mingw/wine-bench
rm -rf "$h"
mkdir -p "$h"
gcc -O2 -Wall -Wextra -shared -fPIC -o "$h/ptymodem.so" tests/windows/ptymodem.c -ldl
[ -d "$WINEPREFIX/dosdevices" ] || wineboot -u >"$h/wineboot.log" 2>&1 </dev/null
wineserver -w 2>/dev/null || true
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wineserver -k >/dev/null 2>&1 || true
}
trap cleanup EXIT
harness=$h
sim=$root/build/sim/comsetup-sim
# shellcheck source=../../tests/windows/harness.sh
source tests/windows/harness.sh
start_xvfb
wineserver -p >"$h/wineserver.log" 2>&1 </dev/null &
wine cmd.exe /c exit >"$h/warm-up.log" 2>&1 </dev/null || true
rm -f "$WINEPREFIX"/dosdevices/com[0-9]* # none of the machine's own serial devices
# This prefix's server (it detaches): the one working in the prefix's server folder
# (server-DEV-INODE of the prefix).
serverdir=$(printf 'server-%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))
server=
for p in /proc/[0-9]*; do
  case "$(readlink "$p/cwd" 2>/dev/null)" in */"$serverdir") server=${p#/proc/} && break ;; esac
done
[ -n "$server" ] || { echo "no wineserver found for $WINEPREFIX"; exit 1; }
load() { cut -d' ' -f1-3 /proc/loadavg; }
# CPU seconds (user + system) a process has used so far.
cpu_of() { awk -v hz="$(getconf CLK_TCK)" '{ printf "%.3f", ($14 + $15) / hz }' "/proc/$1/stat"; }

echo "== Round trip, $exchanges one-byte exchanges per run, $rounds interleaved rounds"
build/bench/serial/comsetup_serial_roundtrip --echo "$h/echo" >"$h/echo.out" 2>&1 </dev/null &
pids+=($!)
for _ in $(seq 50); do grep -q ready "$h/echo.out" 2>/dev/null && break; sleep 0.1; done
ln -sfn "$h/echo" "$WINEPREFIX/dosdevices/com10"
linux() { echo "linux/posix  $(build/bench/serial/comsetup_serial_roundtrip "$h/echo" "$exchanges")  load $(load)"; }
wine_rt() {
  local before after line
  before=$(cpu_of "$server")
  line=$(LD_PRELOAD=$h/ptymodem.so wine build-mingw/bench/serial/comsetup_serial_roundtrip.exe \
    COM10 "$exchanges" 2>"$h/wine-rt.err" </dev/null | tr -d '\r')
  after=$(cpu_of "$server")
  echo "wine/win32   $line  wineserver cpu $(awk -v a="$before" -v b="$after" -v n="$exchanges" \
    'BEGIN { printf "%.1f us per exchange (whole run)", (b - a) * 1e6 / n }')  load $(load)"
}
# The server's share of starting a Wine program: a run of the 100 warm-up exchanges and one.
before=$(cpu_of "$server")
LD_PRELOAD=$h/ptymodem.so wine build-mingw/bench/serial/comsetup_serial_roundtrip.exe COM10 1 \
  >/dev/null 2>&1 </dev/null
echo "wine start-up + 100 warm-up exchanges: wineserver cpu $(awk -v a="$before" \
  -v b="$(cpu_of "$server")" 'BEGIN { printf "%.1f ms", (b - a) * 1e3 }')"
for r in $(seq "$rounds"); do
  if [ $((r % 2)) = 1 ]; then linux; wine_rt; else wine_rt; linux; fi
done

echo "== Far-end pauses, $downloads full downloads by comsetup-cli.exe, comsetup-sim --spin"
args=(download --port COM9 --ip 10.20.30.40 --mask 255.255.0.0 --local-port 4001 --baud 38400
  --parity even --flow cts-rts --plain)
for d in $(seq "$downloads"); do
  name=conv$d
  setsid build/sim/comsetup-sim --firmware 01.8 --link "$h/$name" --off-time 2000 --once --quiet \
    --spin --json "$h/$name.json" >"$h/$name.out" 2>&1 </dev/null &
  sim_pid=$!
  pids+=($sim_pid)
  for _ in $(seq 50); do [ -e "$h/$name" ] && break; sleep 0.1; done
  ln -sfn "$h/$name" "$WINEPREFIX/dosdevices/com9"
  rc=0
  COMSETUP_TRACE=$h/$name-trace.txt LD_PRELOAD=$h/ptymodem.so wine build-mingw/cli/comsetup-cli.exe \
    "${args[@]}" >"$h/$name-cli.out" 2>&1 </dev/null || rc=$?
  l=$(load)
  for _ in $(seq 100); do kill -0 "$sim_pid" 2>/dev/null || break; sleep 0.1; done
  echo "download $d: exit $rc  load $l"
  build/bench/cli/comsetup_far_end_pauses "$h/$name.json" 01.8 "${args[@]}" || true
  awk '/ delay [0-9]+ ms \(/ { n = $3; a = $5; gsub(/[()]/, "", a); if (n > 0) print a - n }' \
    "$h/$name-trace.txt" | sort -g | awk '{ v[NR] = $1; if ($1 < 0) s++ }
      END { printf "near end: pauses %d short %d excess median %.3f ms p99 %.3f ms max %.3f ms\n",
            NR, s, v[int((NR - 1) * 0.5 + 1.5)], v[int((NR - 1) * 0.99 + 1.5)], v[NR] }'
done

echo "== Far-end pauses, $downloads full downloads by the wizard comsetup.exe, comsetup-sim --spin"
for d in $(seq "$downloads"); do
  # shellcheck source=../../tests/windows/wizard_download.sh
  COMSETUP_WIZARD_SIM_OPTIONS=--spin source tests/windows/wizard_download.sh >"$h/wizard-$d.out"
  echo "wizard download $d: $(tail -1 "$h/wizard-$d.out")  load $(load)"
  build/bench/cli/comsetup_far_end_pauses "$h/wizard-converter.json" 01.8 download \
    --mode point-to-point --ip 192.168.1.77 --peer 192.168.1.201 || true
done
