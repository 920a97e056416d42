#!/usr/bin/env bash
# Builds the release configuration and runs Caldavor on the demo board.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCALDAVOR_TESTS=OFF -DCALDAVOR_BENCH=ON >/dev/null
cmake --build "$build" --parallel "$(nproc)"
CALDAVOR_MACHINE="$PWD/boards/demo.json" exec "$build/caldavor" "$@"
