#!/usr/bin/env bash
# Builds Vexlarin and runs every test: a plain build, then under AddressSanitizer with
# UndefinedBehaviorSanitizer, then the tests without Qt under ThreadSanitizer.
#   ./test.sh           all three
#   ./test.sh --quick   the plain build only
set -euo pipefail
cd "$(dirname "$0")"
. scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" clang

jobs=$(nproc)
run_suite() {  # build directory, then extra CMake arguments
    local dir=$1
    shift
    echo "=== $dir ===" >&2
    cmake -S . -B "$dir" -G Ninja -DVEXLARIN_WERROR=ON "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
    QT_QPA_PLATFORM=offscreen ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

run_suite build
if [ "${1:-}" != "--quick" ]; then
    run_suite build-asan -DVEXLARIN_SANITIZE=address -DCMAKE_BUILD_TYPE=Debug
    run_suite build-tsan -DVEXLARIN_SANITIZE=thread -DCMAKE_BUILD_TYPE=Debug
fi
echo "All test suites passed." >&2
