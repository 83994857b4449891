#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the unit, command-line and window
# tests, the end-to-end test under Xvfb, and the unit suite again under ASan and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
tools/build.sh
build=${SOROWA_BUILD_DIR:-build}

(cd "$build" && ctest --output-on-failure -j2 -LE e2e)
(cd "$build" && xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -L e2e)
if [[ -x tools/test-sanitized.sh ]]; then
  tools/test-sanitized.sh
fi
