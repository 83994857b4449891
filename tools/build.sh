#!/usr/bin/env bash
# Configures and builds Sorowa into build/ (or $SOROWA_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${SOROWA_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOROWA_BUILD_APP=ON \
  -DSOROWA_BUILD_TESTS=ON -DSOROWA_BUILD_BENCH=ON "$@" >/dev/null
cmake --build "$build" -j2
