#!/usr/bin/env bash
# Builds the fuzz targets with clang-14, libFuzzer, AddressSanitizer and UBSan in their own
# build directory and runs one of them.
#
#   tools/fuzz.sh TARGET SECONDS [extra libFuzzer flags...]
#   tools/fuzz.sh --list
#
# TARGET is one of the folders of tests/fuzz that holds saved inputs (report, dp, match,
# review, segment, decode, score, stats_json, normalize, batch_list, command_line, format_pdf,
# format_docx, format_odt, format_hocr, format_alto, format_page). New interesting inputs go to
# build-fuzz/corpus/TARGET, so the committed seeds stay small; a crash is written straight
# into tests/fuzz/TARGET/, where ctest replays it from then on. Commit it together with the fix.
#
# Environment: BUILD_DIR (default build-fuzz), JOBS (default 2), FUZZ_MERGE=1 to fold
# inputs that add coverage back into tests/fuzz/TARGET after the run.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-fuzz}
jobs=${JOBS:-2}

if [[ ${1:-} == --list ]]; then
  for dir in "$root"/tests/fuzz/*/; do basename "$dir"; done
  exit 0
fi
if [[ $# -lt 2 ]]; then
  echo "usage: $0 TARGET SECONDS [libFuzzer flags...]   (targets: $0 --list)" >&2
  exit 2
fi
target=$1
seconds=$2
shift 2
seeds=$root/tests/fuzz/$target
if [[ ! -d $seeds ]]; then
  echo "$0: no fuzz target '$target' (no folder $seeds)" >&2
  exit 2
fi

mkdir -p "$build"
# Two runs may start at once; one build directory must not be built by both.
exec 9>"$build/.build.lock"
flock 9
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S "$root/tests/fuzz" -B "$build" -G Ninja \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOROWA_FUZZ=ON \
    -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
fi
cmake --build "$build" --target "fuzz_$target" -j "$jobs"
flock -u 9

corpus=$build/corpus/$target
mkdir -p "$corpus"
max_len=4096
[[ $target == report ]] && max_len=2048
# Long enough for lines that the MeCab back-end hands over in several pieces.
[[ $target == segment ]] && max_len=20000
# Documents: a typeset PDF page with its embedded font, a small archive.
[[ $target == format_pdf ]] && max_len=65536
[[ $target == format_docx || $target == format_odt ]] && max_len=16384

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cd "$build"
status=0
"$build/fuzz_$target" -max_total_time="$seconds" -max_len="$max_len" -timeout=30 \
  -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$seeds/crash-" "$@" \
  "$corpus" "$seeds" || status=$?

if [[ ${FUZZ_MERGE:-0} == 1 ]]; then
  "$build/fuzz_$target" -merge=1 -max_len="$max_len" "$seeds" "$corpus"
fi
exit $status
