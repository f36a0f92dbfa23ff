#!/usr/bin/env bash
# Fuzzes for SECONDS (default 60) each of TARGETS (default window): builds the
# libFuzzer programs with clang, AddressSanitizer and UBSan into build-fuzz/ (or
# $FUZZ_BUILD_DIR) and runs them one after another, niced on one core.
# TARGETS is a comma-separated list of window, table_bytes, xlsx_parts,
# xls_records, division_file, or readers (the four readers), or all. New inputs
# go to $work/<target>/corpus, findings (crash-*, timeout-*, oom-*) to
# $work/<target>/findings. Extra arguments go to libFuzzer.
#   bash scripts/fuzz.sh 3600
#   bash scripts/fuzz.sh 600 readers
#   bash scripts/fuzz.sh 0 xls_records build-fuzz/fuzz-work/xls_records/findings/crash-...   # replays one
#   bash scripts/fuzz.sh 0 build-fuzz/fuzz-work/findings/crash-...                           # a window finding
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
targets=window
if [ $# -gt 0 ] && [ ! -f "$1" ] && [[ $1 != -* ]]; then
  targets=$1
  shift
fi
readers=table_bytes,xlsx_parts,xls_records,division_file
targets=${targets//readers/$readers}
targets=${targets//all/window,$readers}
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
work=${FUZZ_WORK_DIR:-$build/fuzz-work}

command -v clang++ >/dev/null || { echo "The fuzzer needs clang (Debian package clang)." >&2; exit 1; }
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF -DFENBAN_FUZZ=ON \
  -DCMAKE_CXX_COMPILER=clang++ >/dev/null
IFS=, read -r -a list <<<"$targets"
programs=()
for target in "${list[@]}"; do programs+=("fuzz_$target"); done
nice -n 19 cmake --build "$build" --parallel 2 --target "${programs[@]}"

export QT_QPA_PLATFORM=offscreen
# Qt keeps caches across inputs, which the per-input leak check would take for leaks.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
if [ $# -gt 0 ] && [ -f "$1" ]; then
  exec "$build/tests/fuzz/fuzz_${list[0]}" "$@"
fi
status=0
for target in "${list[@]}"; do
  if [ "$target" = window ]; then
    # The window's work folder and seed corpus keep their first places.
    dir=$work
    seeds=$root/tests/fuzz/corpus
    options=(-dict="$root/tests/fuzz/fuzz.dict" -rss_limit_mb=4096 -timeout=30)
  else
    dir=$work/$target
    seeds=$root/tests/fuzz/corpus-$target
    # A reader keeps within 1 GB (and the sanitizers' share) and 10 s on any input.
    options=(-rss_limit_mb=2048 -timeout=10 -max_len=1048576)
    [ -f "$root/tests/fuzz/$target.dict" ] && options+=(-dict="$root/tests/fuzz/$target.dict")
  fi
  mkdir -p "$dir/corpus" "$dir/findings"
  echo "== $target: $seconds s" >&2
  nice -n 19 "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" "${options[@]}" \
    -artifact_prefix="$dir/findings/" -print_final_stats=1 "$@" "$dir/corpus" "$seeds" || status=$?
done
exit $status
