#!/bin/sh
# Without any display, sorowa must refuse to start, say why, and point to sorowa-compare.
program="$1"
output=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" 2>&1)
status=$?
printf '%s\n' "$output"
if [ "$status" -ne 1 ]; then
  echo "expected exit status 1, got $status" >&2
  exit 1
fi
case "$output" in
  *"sorowa: no display"*sorowa-compare*) exit 0 ;;
  *) echo "the message does not explain the missing display and point to sorowa-compare" >&2
     exit 1 ;;
esac
