#!/usr/bin/env bash
# Builds Sorowa with AddressSanitizer (and its LeakSanitizer) and UndefinedBehaviorSanitizer
# into build-asan/ (or $SOROWA_ASAN_BUILD_DIR) and runs every test but the window's there.
#
# Any sanitizer report fails the run, also one from a child process whose output a test
# swallows (sorowa-compare run by the command-line tests): every report is written to a log
# file as well, and the run fails when one exists. UBSan does not recover
# (-fno-sanitize-recover=all), and leaks are checked at every process exit.
#
# The window is left out: Qt WebEngine's Chromium does not run under ASan. So are the
# big-input fault tests, which time the normal build and need gigabytes more under ASan.
#
#   tools/test-sanitized.sh [extra ctest arguments, e.g. -R Fault]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${SOROWA_ASAN_BUILD_DIR:-build-asan}

launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOROWA_SANITIZE=ON \
  -DSOROWA_BUILD_APP=OFF -DSOROWA_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" -j2

logs=$(realpath "$build")/sanitizer-logs
rm -rf "$logs"
mkdir -p "$logs"
common="log_path=$logs/report:log_exe_name=1:print_stacktrace=1:halt_on_error=1:exitcode=86"
export ASAN_OPTIONS="$common:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1:strict_init_order=1:detect_invalid_pointer_pairs=1"
export UBSAN_OPTIONS="$common"
export LSAN_OPTIONS="$common"

status=0
(cd "$build" && ctest --output-on-failure -j2 -LE 'e2e|app' -E 'CliBigInput' "$@") || status=$?

if compgen -G "$logs/report*" >/dev/null; then
  echo "tools/test-sanitized.sh: sanitizer reports:" >&2
  for log in "$logs"/report*; do
    echo "==== $log" >&2
    cat "$log" >&2
  done
  status=1
fi
if [[ $status -ne 0 ]]; then
  echo "tools/test-sanitized.sh: FAILED" >&2
else
  echo "tools/test-sanitized.sh: every test passed without a sanitizer report"
fi
exit $status
