#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test offscreen: once in the
# normal build (and checks its Debian package) and once with AddressSanitizer
# and UndefinedBehaviorSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
export QT_QPA_PLATFORM=offscreen

bash "$root/scripts/install-deps.sh"

# Every tracked C++ file must be formatted with the project's .clang-format.
(cd "$root" && git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror)

# Warnings fail these builds (users' builds only show them).
bash "$root/scripts/build.sh" -DBUILD_TESTING=ON -DFENBAN_WERROR=ON

# The window library must also serve a project that includes this one.
consumer=$build/consumer
cmake -S "$root/tests/consumer" -B "$consumer" -G Ninja -DFENBAN_SOURCE_DIR="$root" >/dev/null
cmake --build "$consumer" --parallel "$(nproc)"
"$consumer/consumer"

ctest --test-dir "$build" --output-on-failure

# The Debian package of this build, checked (lintian, contents, the unpacked program).
bash "$root/scripts/package.sh" --from "$build"

# Any sanitizer report fails its test.
export ASAN_OPTIONS=abort_on_error=0:halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
BUILD_DIR=$build-sanitize bash "$root/scripts/build.sh" -DBUILD_TESTING=ON -DFENBAN_SANITIZE=ON -DFENBAN_WERROR=ON
ctest --test-dir "$build-sanitize" --output-on-failure
