# A full download by the wizard for Windows, as a technician makes it: comsetup.exe under
# Wine on a private X server, driven by real clicks and key presses (xdotool), which reach the
# program through Wine's keyboard as Windows virtual keys. Point to Point is ticked, the last
# byte of the IP address typed, the port COM9 typed into the port box, "DownLoad" pressed;
# the stand-in on COM9 must have decoded and saved those values, and the progress dialog
# must say "Setup Complete" (its picture read back as text).
# Sourced by scripts/test-windows.sh and bench/wine/measure.sh after tests/windows/harness.sh,
# with its X server running (start_xvfb), ptymodem.so in $harness and a warm Wine prefix; the
# program ends with it.
#   COMSETUP_WIZARD_SIM_OPTIONS   further options of the stand-in (the bench's --spin)
#   COMSETUP_WINDOWS_SCREENSHOTS  a folder that also keeps the pictures of the windows
#   COMSETUP_WIZARD_ARGS          options of comsetup.exe, e.g. -platform windows:fontengine=freetype

wizard_fail() {
  echo "FAILED: $*"
  echo "--- comsetup.exe output"; cat "$harness/wizard.log"
  echo "--- stand-in output"; cat "$harness/wizard-converter.out" 2>/dev/null || true
  exit 1
}
window_named() { # name pattern, seconds: prints the X window id once it is mapped
  local id=""
  for _ in $(seq $(($2 * 10))); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) && [ -n "$id" ] && break
    sleep 0.1
  done
  echo "$id"
}
wizard_click() { # window-relative position
  xdotool mousemove --window "$wizard" "$1" "$2" click 1
  sleep 0.5
}
band_click() { # a control of the bottom band, which keeps to the window's bottom edge
  wizard_click "$1" $(($2 + band_shift))
}
wizard_shot() { # window, name
  import -window "$1" "$harness/$2.png"
  if [ -n "${COMSETUP_WINDOWS_SCREENSHOTS:-}" ]; then
    cp "$harness/$2.png" "$COMSETUP_WINDOWS_SCREENSHOTS/"
  fi
}

echo "== A full download by the wizard, comsetup.exe under Wine on Xvfb"
# shellcheck disable=SC2086 # options, split as given
start_sim wizard-converter ${COMSETUP_WIZARD_SIM_OPTIONS:-}
# shellcheck disable=SC2086 # options, split as given
LD_PRELOAD=$harness/ptymodem.so wine build-mingw/app/comsetup.exe ${COMSETUP_WIZARD_ARGS:-} \
  >"$harness/wizard.log" 2>&1 </dev/null &
wizard_pid=$!
pids+=($wizard_pid)
wizard=$(window_named "^Select Modality $" 60)
[ -n "$wizard" ] || wizard_fail "the wizard did not appear"
sleep 1
wizard_shot "$wizard" wine-mode-page
# The positions below are those of the form (423 x 492); a window system whose frame is
# thinner than the form's gives the window more room, and the bottom band moves down.
eval "$(xdotool getwindowgeometry --shell "$wizard")"
band_shift=$((HEIGHT - 492))

if [ -n "${COMSETUP_WINDOWS_SCREENSHOTS:-}" ]; then # the other two modes' pages, and back
  wizard_click 256 160 # Remote COM port
  band_click 372 462 # Next -->
  wizard_shot "$wizard" wine-settings-remote-com-port
  band_click 116 470 # <-- Back
  wizard_click 256 424 # Point to Multipoint
  band_click 372 462
  wizard_shot "$wizard" wine-settings-point-to-multipoint
  band_click 116 470
fi
wizard_click 256 272 # Point to Point
band_click 372 462 # Next -->
wizard_click 160 250 # the IP address's last byte: 200 -> 77, typed
xdotool key End BackSpace BackSpace BackSpace
xdotool type --delay 100 77
xdotool key Tab
band_click 262 472 # the port box: COM9, typed
xdotool key ctrl+a
xdotool type --delay 100 COM9
xdotool key Tab
sleep 0.5
wizard_shot "$wizard" wine-settings-point-to-point
band_click 372 470 # DownLoad

progress=$(window_named "^Setup progress$" 30)
[ -n "$progress" ] || wizard_fail "no progress dialog"
if [ -n "${COMSETUP_WINDOWS_SCREENSHOTS:-}" ]; then # running, and its log
  sleep 12 # past the banner and its 7 s pause: the bar and the time left are running
  wizard_shot "$progress" wine-progress-running
  xdotool mousemove --window "$progress" 213 60 click 1 # Log
  monitor=$(window_named "^Monitor$" 10)
fi
for _ in $(seq 900); do
  grep -q "^end of download" "$harness/wizard-converter.out" && break
  sleep 0.1
done
sleep 2 # the dialog shows the verdict once the converter's answer to its last poll is read
wizard_shot "$progress" wine-progress-end
if [ -n "${monitor:-}" ]; then
  xdotool windowunmap "$progress" # no window manager here: it would cover part of the log
  sleep 0.5
  wizard_shot "$monitor" wine-log-window
  xdotool windowmap "$progress"
fi

# What the stand-in decoded and saved, from its JSON report (one key a line).
for _ in $(seq 50); do grep -q '"saved"' "$harness/wizard-converter.json" 2>/dev/null && break; sleep 0.1; done
for want in '"ip": "192.168.1.77"' '"remote": "192.168.1.201"' '"tunnel": true' \
  '"mask": "255.255.255.0"' '"saved": true'; do
  grep -Fq "$want" "$harness/wizard-converter.json" ||
    wizard_fail "the stand-in's report has no $want"
done
grep -q "^download 1: complete" "$harness/wizard-converter.out" ||
  wizard_fail "the stand-in did not see a complete download"

# The verdict as the technician sees it: the dialog's picture, enlarged, read as text.
convert "$harness/wine-progress-end.png" -resize 300% -colorspace Gray "$harness/verdict.png"
tesseract "$harness/verdict.png" "$harness/verdict" >/dev/null 2>&1 ||
  wizard_fail "tesseract could not read the dialog's picture"
grep -q "Setup Complete" "$harness/verdict.txt" ||
  wizard_fail "the dialog does not say Setup Complete; it reads: $(tr '\n' ' ' <"$harness/verdict.txt")"
echo "Setup Complete on the wizard's dialog; the stand-in decoded and saved the typed values"
kill "$wizard_pid" 2>/dev/null || true
wait "$wizard_pid" 2>/dev/null || true
