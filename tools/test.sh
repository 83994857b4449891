#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the unit, command-line and window
# tests, the end-to-end test under Xvfb, and the unit suite again under ASan and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
tools/build.sh
build=${SOROWA_BUILD_DIR:-build}

# The end-to-end window test starts its own Xvfb.
(cd "$build" && ctest --output-on-failure -j2)
if [[ -x tools/test-sanitized.sh ]]; then
  tools/test-sanitized.sh
fi
