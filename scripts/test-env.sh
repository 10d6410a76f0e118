# Sourced by the test scripts: gives the tests a display and a sound server
# when the machine has none (CI runs as root with neither). Starts Xvfb and
# a PulseAudio daemon with null devices, and stops them when the shell exits.

lumo_env_dir=$(mktemp -d /tmp/lumo-test-env.XXXXXX)
lumo_env_pids=()

lumo_stop_test_env() {
  if [ -n "${PULSE_SERVER_STARTED:-}" ]; then
    pulseaudio --kill >/dev/null 2>&1 || true
  fi
  for pid in "${lumo_env_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$lumo_env_dir"
}
trap lumo_stop_test_env EXIT

if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
  Xvfb -displayfd 1 -screen 0 1920x1080x24 -nolisten tcp >"$lumo_env_dir/display" 2>"$lumo_env_dir/xvfb.log" &
  lumo_env_pids+=($!)
  for _ in $(seq 100); do [ -s "$lumo_env_dir/display" ] && break; sleep 0.1; done
  if [ -s "$lumo_env_dir/display" ]; then
    export DISPLAY=":$(head -n1 "$lumo_env_dir/display")"
  fi
fi

if command -v pulseaudio >/dev/null && ! pactl info >/dev/null 2>&1; then
  export XDG_RUNTIME_DIR="$lumo_env_dir/runtime"
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  if pulseaudio --daemonize=yes --exit-idle-time=-1 -n \
      --load=module-null-sink --load=module-null-source \
      --load=module-native-protocol-unix --load=module-always-sink \
      --log-target=file:"$lumo_env_dir/pulse.log" >/dev/null 2>&1; then
    PULSE_SERVER_STARTED=1
    for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  fi
fi

# Chromium's sandbox cannot run as root; the web view needs these under Xvfb.
export QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu"
