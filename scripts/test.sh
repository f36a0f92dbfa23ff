#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test offscreen.
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
