#!/bin/sh
# Remakes docs/screenshot.png: the Sorowa window after a Compare of the example texts, drawn
# on a virtual X server (Xvfb), so no desktop is needed.
#
#   tools/screenshot.sh                 # builds in ./build
#   BUILD_DIR=/path/to/build tools/screenshot.sh
#   VIEW=review tools/screenshot.sh     # docs/screenshot-review.png: the report as 対照表示
#
# Needs the Debian packages xvfb, xauth and fonts-noto-cjk besides the build dependencies.
set -eu

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$repo/build}
view=${VIEW:-tables}
if [ "$view" = review ]; then
  output=${OUTPUT:-$repo/docs/screenshot-review.png}
else
  output=${OUTPUT:-$repo/docs/screenshot.png}
fi
size=${SIZE:-1200x720}

command -v xvfb-run >/dev/null 2>&1 || {
  echo "screenshot.sh: xvfb-run not found; install the Debian package xvfb" >&2
  exit 1
}

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$repo" -B "$build" -DSOROWA_BUILD_BENCH=OFF
fi
cmake --build "$build" -j2 --target sorowa_screenshot

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source="$repo/examples/source.txt"
target="$repo/examples/target.txt"
if [ ! -f "$source" ] || [ ! -f "$target" ]; then
  source="$work/source.txt"
  target="$work/target.txt"
  printf '%s\n' '吾輩は猫である。' '名前はまだ無い。' 'どこで生れたかとんと見当がつかぬ。' >"$source"
  printf '%s\n' '吾輩は犬である。' '名前はもう有る。' 'どこで生まれたか見当がつかない。' >"$target"
fi

mkdir -p "$(dirname "$output")"
# Chromium inside the view: no GPU on a virtual display. The program itself turns the
# sandbox off when run as root.
QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu" TMPDIR="$work" \
  timeout 120 xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$build/src/app/sorowa_screenshot" "$source" "$target" "$output" "$size" "$view" >"$work/log" 2>&1 || {
  cat "$work/log" >&2
  echo "screenshot.sh: making the screenshot failed" >&2
  exit 1
}
echo "wrote $output"
