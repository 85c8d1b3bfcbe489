#!/usr/bin/env bash
# Takes the screenshots of the README under a private X server (Xvfb, no window manager):
# the mode page, the settings page of each mode ("MASTER SIDE" ticked too), a message box (a mask refused), the port list
# dropped down, the progress dialog during and at the end of a download with the defaults
# against the converter stand-in attached as COM1, and the log window its "Log" button shows,
# from the top (the download's header); then "Next converter" writes a second unit (the dialog
# with its count), and the journal window lists the downloads (with three refused ones
# recorded by comsetup-cli beforehand), and "Open plan..." shows a plan of five units.
# Needs Xvfb, xdotool and ImageMagick's import; run from anywhere after a build:
#   docs/screenshots/take-screenshots.sh [build directory, default build]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
display=":$((90 + RANDOM % 9))"
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  [ -s "$work/app.log" ] && cat "$work/app.log" >&2
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
export XDG_RUNTIME_DIR="$work/run"
export COMSETUP_JOURNAL="$work/journal.sqlite" # never the user's journal
mkdir -m 700 "$work/run"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

start_program() {
  "$build/sim/comsetup-sim" --firmware 01.8 --link "$work/converter" --off-time 1000 --quiet \
    >"$work/sim.out" 2>&1 &
  sim_pid=$!
  pids+=($sim_pid)
  for _ in $(seq 50); do [ -e "$work/converter" ] && break; sleep 0.1; done
  COMSETUP_COM1="$work/converter" "$build/app/comsetup" >>"$work/app.log" 2>&1 &
  app_pid=$!
  pids+=($app_pid)
  wizard=""
  for _ in $(seq 100); do
    wizard=$(xdotool search --name "^Select Modality $" 2>/dev/null | head -1) && [ -n "$wizard" ] && break
    sleep 0.1
  done
  sleep 0.5
}
stop_program() {
  kill "$app_pid" "$sim_pid" 2>/dev/null || true
  wait "$app_pid" "$sim_pid" 2>/dev/null || true
  rm -f "$work/converter"
}
click() { # window-relative position
  xdotool mousemove --window "$wizard" "$1" "$2" click 1
  sleep 0.4
}
shot() { import -window "$1" "$here/$2"; }

# Downloads refused at once (no such port), for the journal's listing.
for ip in 192.168.1.150 192.168.1.151 10.0.0.7; do
  "$build/cli/comsetup-cli" download --port /nonexistent/ttyUSB3 --ip "$ip" >/dev/null 2>&1 || true
done
next_button_y=73 # "Next converter" below the verdict and its line

# Mode page; then each mode's settings page. Mode boxes lie at 248,152 / 248,264 / 248,416.
start_program
shot "$wizard" mode-page.png
mode_y=(0 160 272 424)
names=(x remote-com-port point-to-point point-to-multipoint)
for mode in 1 2 3; do
  [ "$mode" -gt 1 ] && start_program
  click 256 "${mode_y[$mode]}"
  click 372 462 # Next -->
  shot "$wizard" "settings-${names[$mode]}.png"
  if [ "$mode" -eq 3 ]; then
    click 15 196 # MASTER SIDE: the peer sent, and what each firmware takes
    shot "$wizard" master-side.png
    click 15 196 # and off again for the downloads below
  fi
  if [ "$mode" -eq 1 ]; then
    # A mask of 255.0.255.0 refused: the message box, fitted to its text.
    click 80 290 # the mask's second byte
    xdotool key End BackSpace BackSpace BackSpace
    xdotool type --delay 50 0
    click 372 462 # DownLoad
    box=""
    for _ in $(seq 50); do
      box=$(xdotool search --onlyvisible --name "^comsetup$" 2>/dev/null | head -1) && [ -n "$box" ] && break
      sleep 0.1
    done
    sleep 0.4
    shot "$box" message-box.png
  fi
  if [ "$mode" -lt 3 ]; then stop_program; fi
done

# The port list dropped down: each entry with what it is.
click 300 471
eval "$(xdotool getwindowgeometry --shell "$wizard")"
import -window root "$work/root.png"
convert "$work/root.png" -crop "400x330+$((X + 150))+$((Y + 380))" +repage "$here/port-list.png"
xdotool key Escape
sleep 0.3

# A download with the defaults from the point-to-multipoint page, to its end.
click 372 462 # DownLoad
progress=""
for _ in $(seq 100); do
  progress=$(xdotool search --name "^Setup progress$" 2>/dev/null | head -1) && [ -n "$progress" ] && break
  sleep 0.1
done
sleep 12 # past the banner and its 7 s pause: the bar and the time left are running
shot "$progress" progress-running.png
xdotool mousemove --window "$progress" 213 60 click 1 # Log
monitor=""
for _ in $(seq 50); do
  monitor=$(xdotool search --name "^Monitor$" 2>/dev/null | head -1) && [ -n "$monitor" ] && break
  sleep 0.1
done
for _ in $(seq 900); do
  grep -q "^end of download 1" "$work/sim.out" && break
  sleep 0.1
done
sleep 1
shot "$progress" progress-end.png
xdotool windowunmap "$progress" # no window manager here: it would cover part of the log
sleep 0.5
xdotool mousemove --window "$monitor" 200 200 click 1 key ctrl+Home # the top: the header
sleep 0.5
shot "$monitor" log-window.png
xdotool windowunmap "$monitor"

# "Next converter": confirmed at once, the second unit written, the dialog counting.
xdotool windowmap "$progress"
sleep 0.5
xdotool mousemove --window "$progress" 46 "$next_button_y" click 1
confirm=""
for _ in $(seq 50); do
  confirm=$(xdotool search --onlyvisible --name "^Next converter$" 2>/dev/null | head -1) && [ -n "$confirm" ] && break
  sleep 0.1
done
sleep 0.4
shot "$confirm" next-converter-confirm.png
xdotool mousemove --window "$confirm" 295 74 click 1 # OK
for _ in $(seq 900); do
  grep -q "^end of download 2" "$work/sim.out" && break
  sleep 0.1
done
sleep 1
shot "$progress" progress-next-converter.png
xdotool windowunmap "$progress"

# The journal window from the wizard's top band.
click 331 20
journal=""
for _ in $(seq 50); do
  journal=$(xdotool search --onlyvisible --name "^Journal of downloads$" 2>/dev/null | head -1) && [ -n "$journal" ] && break
  sleep 0.1
done
sleep 0.5
shot "$journal" journal-window.png
xdotool windowunmap "$journal"

# "Open plan..." on the mode page: a plan of five units, a pair and a group among them.
cat >"$work/site.csv" <<'PLAN'
ip,mode,peer,master,group
192.168.1.200,remote-com,,,
192.168.1.10,point-to-point,pair,,
192.168.1.11,point-to-point,pair,,
192.168.1.20,point-to-multipoint,,true,hall
192.168.1.21,point-to-multipoint,master,,hall
PLAN
click 116 471 # <-- Back
click 48 20   # Open plan...
dialog=""
for _ in $(seq 50); do
  dialog=$(xdotool search --onlyvisible --name "^Open plan$" 2>/dev/null | head -1) && [ -n "$dialog" ] && break
  sleep 0.1
done
sleep 0.5
xdotool type --delay 20 "$work/site.csv"
xdotool key Return
plan=""
for _ in $(seq 50); do
  plan=$(xdotool search --onlyvisible --name "^Plan site.csv$" 2>/dev/null | head -1) && [ -n "$plan" ] && break
  sleep 0.1
done
sleep 0.5
shot "$plan" plan-window.png
stop_program
echo "screenshots written to $here"
