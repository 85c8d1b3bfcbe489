#!/usr/bin/env bash
# Installs what is missing (the run set: no test or developer tools), builds the three
# programs (the run preset, build-run/: no tests, no benchmarks), and runs the program's main job against the converter
# stand-in attached as COM1:
#   - with a display ($DISPLAY set): the wizard; Next and DownLoad with the defaults end in
#     "Setup Complete";
#   - without a display: a complete download with comsetup-cli, showing progress and verdict.
# Pass --firmware V6.5.0.7 to talk to the other firmware.
set -euo pipefail
cd "$(dirname "$0")/.."
firmware="01.8"
[ "${1:-}" = "--firmware" ] && firmware="${2:?firmware version}"

bash scripts/install-deps.sh run
cmake --preset run >/dev/null
cmake --build --preset run

run_dir=$(mktemp -d)
link="$run_dir/converter"
# Its own session, so a Ctrl+C meant for the download does not end the stand-in too.
setsid ./build-run/sim/comsetup-sim --firmware "$firmware" --link "$link" --off-time 2000 --quiet &
sim_pid=$!
trap 'kill $sim_pid 2>/dev/null || true; rm -rf "$run_dir"' EXIT
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done

export COMSETUP_COM1="$link"
# The demo's own settings: the LAN check stays off (nothing sent to any network) whatever the
# wizard remembers elsewhere.
export COMSETUP_SETTINGS="$run_dir/comsetup.ini"
if [ -n "${DISPLAY:-}" ]; then
  ./build-run/app/comsetup
else
  ./build-run/cli/comsetup-cli download --port COM1
fi
