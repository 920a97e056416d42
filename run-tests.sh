#!/usr/bin/env bash
# Builds the test configuration (sanitizers on) and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
build=build/test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCALDAVOR_SANITIZE=ON -DCALDAVOR_BENCH=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)"
cd "$build"
ctest --output-on-failure --parallel "$(nproc)" --timeout 300
