#!/usr/bin/env bash
# Installs what is missing, builds, and starts Sorowa.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
tools/build.sh
build=${SOROWA_BUILD_DIR:-build}

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "Sorowa's window needs a graphical display (none found: DISPLAY and WAYLAND_DISPLAY are unset)." >&2
  echo "Without one, compare files with the command line, as in this example:" >&2
  echo "  $build/src/cli/sorowa-compare examples/source.txt examples/target.txt" >&2
  report=$("$build/src/cli/sorowa-compare" --all examples/source.txt examples/target.txt)
  echo "Report written to: $report"
  exit 0
fi
exec "$build/src/app/sorowa" "$@"
