#!/usr/bin/env bash
# Configures and builds Sorowa into build/ (or $SOROWA_BUILD_DIR). With ccache installed, the
# compiler runs through it, so a rebuild after a small change, or in a second clone, reuses
# what was compiled before.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${SOROWA_BUILD_DIR:-build}
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # Paths below the clone are hashed relative to it, so clones share the cache.
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOROWA_BUILD_APP=ON \
  -DSOROWA_BUILD_TESTS=ON -DSOROWA_BUILD_BENCH=ON "${launcher[@]}" "$@" >/dev/null
cmake --build "$build" -j2
