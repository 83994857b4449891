#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the unit, command-line, fault, fuzz
# replay and window tests and the end-to-end test under Xvfb. The same suite under ASan and
# UBSan is tools/test-sanitized.sh, which CI runs after this (.ci/run).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
tools/build.sh
build=${SOROWA_BUILD_DIR:-build}

# The end-to-end window test starts its own Xvfb.
(cd "$build" && ctest --output-on-failure -j2)
