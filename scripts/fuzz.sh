#!/usr/bin/env bash
# Fuzzes the window for SECONDS (default 60): builds tests/fuzz/fuzz_window with
# clang, libFuzzer, AddressSanitizer and UBSan into build-fuzz/ (or $FUZZ_BUILD_DIR)
# and runs it niced on one core. New inputs go to $work/corpus, findings
# (crash-*, timeout-*, oom-*) to $work/findings. Extra arguments go to libFuzzer.
#   bash scripts/fuzz.sh 3600
#   bash scripts/fuzz.sh 0 build-fuzz/fuzz-work/findings/crash-...   # replays one finding
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
work=${FUZZ_WORK_DIR:-$build/fuzz-work}

command -v clang++ >/dev/null || { echo "The fuzzer needs clang (Debian package clang)." >&2; exit 1; }
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF -DFENBAN_FUZZ=ON \
  -DCMAKE_CXX_COMPILER=clang++ >/dev/null
nice -n 19 cmake --build "$build" --parallel 2

mkdir -p "$work/corpus" "$work/findings"
export QT_QPA_PLATFORM=offscreen
# Qt keeps caches across inputs, which the per-input leak check would take for leaks.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
if [ $# -gt 0 ] && [ -f "$1" ]; then
  exec "$build/tests/fuzz/fuzz_window" "$@"
fi
exec nice -n 19 "$build/tests/fuzz/fuzz_window" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 \
  -dict="$root/tests/fuzz/fuzz.dict" -artifact_prefix="$work/findings/" -print_final_stats=1 \
  "$@" "$work/corpus" "$root/tests/fuzz/corpus"
