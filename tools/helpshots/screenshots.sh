#!/usr/bin/env bash
# Screenshots of the divided sample grade at common screen sizes, under a
# virtual X server with a window manager (so the window really maximises).
# Needs xvfb and openbox. Usage: screenshots.sh BUILD_DIR [OUT_DIR] [SIZE...]
set -euo pipefail
build=${1:?build folder with tools/helpshots/fenban_helpshots}
root=$(cd "$(dirname "$0")/../.." && pwd)
out=${2:-$root/docs/screenshots}
shift $(( $# >= 2 ? 2 : 1 ))
sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(1366x768 1920x1080)

display=:97
for size in "${sizes[@]}"; do
  Xvfb "$display" -screen 0 "${size}x24" -nolisten tcp &
  xvfb=$!
  sleep 1
  DISPLAY=$display openbox &
  wm=$!
  sleep 1
  DISPLAY=$display QT_QPA_PLATFORM=xcb "$build/tools/helpshots/fenban_helpshots" screens "$out" || status=$?
  if [ "$size" = 1366x768 ] && [ "${status:-0}" -eq 0 ]; then
    DISPLAY=$display QT_QPA_PLATFORM=xcb "$build/tools/helpshots/fenban_helpshots" session "$out" || status=$?
  fi
  kill "$wm" "$xvfb"
  wait "$wm" "$xvfb" 2>/dev/null || true
  [ "${status:-0}" -eq 0 ] || exit "$status"
done
