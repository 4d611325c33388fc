# Wine environment for running and testing the screen saver; source this file, then:
#   zephyl_env_start STATE_DIR   Xvfb on a free display, a fresh WINEPREFIX in STATE_DIR made
#                                with wineboot, Wine's virtual desktop (1024x768, so display
#                                mode switches work), a PulseAudio null sink "zsink"
#   zephyl_env_stop              stops exactly the processes zephyl_env_start started
# zephyl_env_start exports DISPLAY, WINEPREFIX, WINEDEBUG, WINEDLLOVERRIDES,
# XDG_RUNTIME_DIR and PULSE_SERVER, and writes them to STATE_DIR/env.sh as well.

zephyl_free_display() {
  n=${ZEPHYL_FIRST_DISPLAY:-90}
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  echo "$n"
}

zephyl_env_start() {
  state=$1
  mkdir -p "$state"
  state=$(cd "$state" && pwd)
  ZEPHYL_ENV_STATE=$state
  : > "$state/pids"

  if [ -n "${ZEPHYL_USE_DISPLAY:-}" ]; then
    export DISPLAY=$ZEPHYL_USE_DISPLAY
  else
    n=$(zephyl_free_display)
    Xvfb ":$n" -nolisten tcp -screen 0 1024x768x24 >"$state/xvfb.log" 2>&1 &
    echo $! >> "$state/pids"
    export DISPLAY=":$n"
    i=0
    until xdpyinfo >/dev/null 2>&1; do
      i=$((i + 1)); [ $i -gt 100 ] && { echo "Xvfb did not start" >&2; return 1; }
      sleep 0.1
    done
  fi

  export XDG_RUNTIME_DIR="$state/runtime"
  rm -rf "$XDG_RUNTIME_DIR"; mkdir -p "$XDG_RUNTIME_DIR"; chmod 700 "$XDG_RUNTIME_DIR"
  pulseaudio --daemonize=no --exit-idle-time=-1 -n --disallow-exit --use-pid-file=no \
    --load="module-null-sink sink_name=zsink rate=44100" \
    --load="module-native-protocol-unix socket=$XDG_RUNTIME_DIR/pulse-native auth-anonymous=1" \
    >"$state/pulse.log" 2>&1 &
  echo $! >> "$state/pids"
  export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse-native"
  i=0
  until pactl info >/dev/null 2>&1; do
    i=$((i + 1)); [ $i -gt 100 ] && { echo "PulseAudio did not start" >&2; break; }
    sleep 0.1
  done
  pactl set-default-sink zsink >/dev/null 2>&1 || true

  export WINEPREFIX="$state/wineprefix"
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64
  rm -rf "$WINEPREFIX"
  wineboot -i >"$state/wineboot.log" 2>&1
  # Every program runs inside one virtual desktop, where display mode switches work.
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
  wineserver -w

  cat > "$state/env.sh" <<ENV
export DISPLAY='$DISPLAY' WINEPREFIX='$WINEPREFIX' WINEDEBUG='$WINEDEBUG'
export WINEDLLOVERRIDES='$WINEDLLOVERRIDES' WINEARCH='$WINEARCH'
export XDG_RUNTIME_DIR='$XDG_RUNTIME_DIR' PULSE_SERVER='$PULSE_SERVER'
ENV
}

zephyl_env_stop() {
  state=${ZEPHYL_ENV_STATE:-}
  [ -n "$state" ] || return 0
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
  fi
  if [ -f "$state/pids" ]; then
    for pid in $(cat "$state/pids"); do kill "$pid" 2>/dev/null || true; done
    for pid in $(cat "$state/pids"); do
      i=0
      while kill -0 "$pid" 2>/dev/null && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
      kill -9 "$pid" 2>/dev/null || true
    done
    : > "$state/pids"
  fi
}

# Two monitors for the multi-monitor tests; source this file, then:
#   zephyl_two_monitors_start STATE_DIR XORG_CONF
#                                Xorg's dummy driver (tools/xorg-two-monitors.conf) on a free
#                                display with two monitors, 0,0,1024,768 (primary) and
#                                1024,0,2048,768, a grey root window (so that a black window shows), and a
#                                fresh WINEPREFIX in STATE_DIR without Wine's virtual desktop
#   zephyl_env_stop              stops exactly the processes zephyl_two_monitors_start started
# Exports DISPLAY, WINEPREFIX, WINEDEBUG, WINEDLLOVERRIDES, WINEARCH and LIBGL_ALWAYS_SOFTWARE
# (Mesa's software renderer: without it a 32-bit program aborts inside the GL library on
# that server).
zephyl_two_monitors_start() {
  two_state=$1
  mkdir -p "$two_state"
  two_state=$(cd "$two_state" && pwd)
  ZEPHYL_ENV_STATE=$two_state
  : > "$two_state/pids"
  conf=$2
  # Xorg picks a free display itself and writes its number once it accepts connections:
  # other test runs on the machine start X servers at the same time.
  : > "$two_state/display"
  Xorg -displayfd 3 -config "$conf" -noreset -nolisten tcp -logfile "$two_state/xorg.log" \
    3>"$two_state/display" >"$two_state/xorg.out" 2>&1 &
  xorg=$!
  echo $xorg >> "$two_state/pids"
  i=0
  until [ -s "$two_state/display" ]; do
    i=$((i + 1))
    if [ $i -gt 300 ] || ! kill -0 $xorg 2>/dev/null; then
      echo "Xorg did not start:" >&2; tail -5 "$two_state/xorg.out" >&2; return 1
    fi
    sleep 0.1
  done
  export DISPLAY=":$(tr -dc 0-9 <"$two_state/display")"
  # Both monitors in the same mode: Wine 8 reads the primary adapter's current mode from the
  # other output on this server, and with two different modes every Direct3D start saw a mode
  # change that Wine's X11 mode setting then crashed or hung in.
  xrandr --addmode DUMMY1 1024x768
  xrandr --output DUMMY1 --mode 1024x768 --right-of DUMMY0
  # Asked once before Wine starts, or Wine may see a single monitor.
  xrandr --listmonitors >"$two_state/monitors.txt"
  xsetroot -solid grey

  export WINEPREFIX="$two_state/wineprefix"
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64
  export LIBGL_ALWAYS_SOFTWARE=1
  rm -rf "$WINEPREFIX"
  wineboot -i >"$two_state/wineboot.log" 2>&1
  wineserver -w
}
