#!/usr/bin/env bash
# Runs a command with the services the tests need: a private X server (Xvfb) and a private
# PulseAudio daemon with a null sink. Both are ours alone and stop when the command ends.
set -euo pipefail

work=$(mktemp -d /tmp/kinovex-services.XXXXXX)
pids=()
cleanup() {
    if [ -n "${PULSE_SERVER:-}" ]; then
        pactl exit >/dev/null 2>&1 || true
    fi
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# X server on a display number it picks itself (and writes once it is ready), so that servers
# started side by side never reach for the same one.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" \
    >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do
    [ -s "$work/display" ] && break
    sleep 0.05
done
export DISPLAY=":$(head -n 1 "$work/display")"

# Sound server with a null sink; its monitor is the "mix" recording input.
export XDG_RUNTIME_DIR="$work/runtime"
export PULSE_RUNTIME_PATH="$work/runtime/pulse"
mkdir -p "$PULSE_RUNTIME_PATH"
chmod 700 "$XDG_RUNTIME_DIR"
export PULSE_SERVER="unix:$PULSE_RUNTIME_PATH/native"
pulseaudio --daemonize=no --exit-idle-time=-1 --system=false --disallow-exit=no \
    -n --load="module-native-protocol-unix socket=$PULSE_RUNTIME_PATH/native auth-anonymous=1" \
    --load="module-null-sink sink_name=kinovex_null" \
    --log-target=file:"$work/pulse.log" >/dev/null 2>&1 &
pids+=($!)

for _ in $(seq 1 50); do
    if xdpyinfo -display "$DISPLAY" >/dev/null 2>&1 && pactl info >/dev/null 2>&1; then
        break
    fi
    sleep 0.1
done
xdpyinfo -display "$DISPLAY" >/dev/null 2>&1 || echo "with-test-services: Xvfb did not start" >&2
pactl info >/dev/null 2>&1 || echo "with-test-services: PulseAudio did not start" >&2

"$@"
