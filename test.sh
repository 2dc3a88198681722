#!/usr/bin/env bash
# Builds Vexlarin and runs every test: a plain build and the window on a real X server, then
# under AddressSanitizer with UndefinedBehaviorSanitizer, then the tests without Qt under
# ThreadSanitizer, then the Debian package and its checks, then the Windows build of
# vexlarin-list under Wine. At the end, how large the tests are beside the code.
#   ./test.sh           all of them
#   ./test.sh --quick   the plain build and the real-display check only
set -euo pipefail
cd "$(dirname "$0")"
. scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" clang libclang-rt-dev  # libFuzzer: the fuzz step
# Without them the real-display check says it is skipped.
ensure_packages "${DISPLAY_CHECK_PACKAGES[@]}" ||
    echo "test.sh: could not install ${DISPLAY_CHECK_PACKAGES[*]}" >&2
# Without them the package check says which of its steps it skips.
ensure_packages "${PACKAGE_CHECK_PACKAGES[@]}" ||
    echo "test.sh: could not install ${PACKAGE_CHECK_PACKAGES[*]}" >&2

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
echo "=== real display ===" >&2
tests/display/real_display_check.sh build
if [ "${1:-}" != "--quick" ]; then
    # Without them the Wine check says it is skipped.
    ensure_packages "${WINE_CHECK_PACKAGES[@]}" ||
        echo "test.sh: could not install ${WINE_CHECK_PACKAGES[*]}" >&2
    run_suite build-asan -DVEXLARIN_SANITIZE=address -DCMAKE_BUILD_TYPE=Debug
    run_suite build-tsan -DVEXLARIN_SANITIZE=thread -DCMAKE_BUILD_TYPE=Debug
    echo "=== build-package ===" >&2
    packaging/check.sh build-package
    # A short run of the fuzzer on top of its committed corpus (which every suite replays);
    # new inputs go to the build directory. -timeout catches an input that hangs.
    if command -v clang++ >/dev/null; then
        echo "=== build-fuzz ===" >&2
        cmake -S tests/fuzz/libfuzzer -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
        cmake --build build-fuzz -j "$jobs"
        mkdir -p build-fuzz/corpus
        build-fuzz/vexlarin-fuzz-camera -max_total_time=30 -timeout=10 -print_final_stats=1 \
            build-fuzz/corpus tests/fuzz/corpus
    fi
    echo "=== build-windows (under Wine) ===" >&2
    tests/wine/wine_check.sh build build-windows
fi
echo "All test suites passed." >&2
scripts/test-ratio.sh
