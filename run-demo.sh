#!/usr/bin/env bash
# Builds the release configuration and runs Caldavor on the demo board.
# Without a display it runs under xvfb-run, saves a picture of the window
# after a few ticks and prints where it is.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCALDAVOR_TESTS=OFF -DCALDAVOR_BENCH=ON >/dev/null
cmake --build "$build" --parallel "$(nproc)"
export CALDAVOR_MACHINE="$PWD/boards/demo.json"
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  exec "$build/caldavor" "$@"
fi
shot="$PWD/$build/demo-window.png"
CALDAVOR_SCREENSHOT="$shot" xvfb-run -a -s "-screen 0 1280x1024x24" "$build/caldavor" "$@"
echo "The window without a display: $shot"
