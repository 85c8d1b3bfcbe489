# Pieces of the Wine test harness shared by scripts/test-windows.sh and bench/wine/measure.sh:
# sourced after they set $harness (the harness folder), $sim (the Linux stand-in), the Wine
# prefix in $WINEPREFIX and an empty pids array (what their exit trap ends).

# A private X server for the windows of Windows programs; it must run before the prefix's
# first program, or Wine's desktop starts without a display and no window can be made later.
start_xvfb() {
  rm -f "$harness/xvfb.display"
  # -displayfd: the server takes a free display and tells which.
  Xvfb -screen 0 1024x768x24 -nolisten tcp -displayfd 3 3>"$harness/xvfb.display" \
    >"$harness/xvfb.log" 2>&1 </dev/null &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$harness/xvfb.display" ] && break; sleep 0.1; done
  DISPLAY=":$(head -1 "$harness/xvfb.display")"
  export DISPLAY
}

# Maps a COM name of the prefix to a Linux path: map com9 /tmp/x
map() { ln -sfn "$2" "$WINEPREFIX/dosdevices/$1"; }

# A stand-in on COM9; waits until its link exists.
start_sim() { # name, extra stand-in options...
  local name=$1
  shift
  setsid "$sim" --firmware 01.8 --link "$harness/$name" --off-time 2000 --once --quiet \
    --json "$harness/$name.json" "$@" >"$harness/$name.out" 2>&1 </dev/null &
  pids+=($!)
  for _ in $(seq 50); do [ -e "$harness/$name" ] && break; sleep 0.1; done
  map com9 "$harness/$name"
}
