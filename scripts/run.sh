#!/usr/bin/env bash
# Sets everything up and starts the desktop program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKINOVEX_TESTS=OFF -DKINOVEX_BENCH=OFF
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run: no display here; starting the program on a virtual X server (xvfb-run)" >&2
    exec xvfb-run -a build/bin/kinovex "$@"
fi
exec build/bin/kinovex "$@"
