#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test offscreen: once in the
# normal build and once with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
export QT_QPA_PLATFORM=offscreen

bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" -DBUILD_TESTING=ON

# The window library must also serve a project that includes this one.
consumer=$build/consumer
cmake -S "$root/tests/consumer" -B "$consumer" -G Ninja -DFENBAN_SOURCE_DIR="$root" >/dev/null
cmake --build "$consumer" --parallel "$(nproc)"
"$consumer/consumer"

ctest --test-dir "$build" --output-on-failure

# Any sanitizer report fails its test.
export ASAN_OPTIONS=abort_on_error=0:halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
BUILD_DIR=$build-sanitize bash "$root/scripts/build.sh" -DBUILD_TESTING=ON -DFENBAN_SANITIZE=ON
ctest --test-dir "$build-sanitize" --output-on-failure
