#!/usr/bin/env bash
# Makes the Debian package from a build directory of its own, compiled with the flags Debian
# builds its packages with (hardening included), and prints the package's path.
#   packaging/make-package.sh [BUILD_DIR]   (default: build-package)
# Install it with: sudo apt install ./build-package/vexlarin_*.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/packages.sh"
ensure_packages "${BUILD_PACKAGES[@]}" "${PACKAGE_BUILD_PACKAGES[@]}"
build=${1:-$root/build-package}

cd "$root"  # dpkg-buildflags maps this directory out of the debugging information
flags=$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CPPFLAGS)
flags+=" $(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CXXFLAGS)"
ldflags=$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS)
# The optimisation the tests run at; CPack strips the debugging information.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXLARIN_WERROR=ON \
    -DVEXLARIN_TESTS=OFF "-DCMAKE_CXX_FLAGS=$flags" "-DCMAKE_EXE_LINKER_FLAGS=$ldflags" >/dev/null
cmake --build "$build" -j "$(nproc)" >&2
rm -f "$build"/vexlarin_*.deb
(cd "$build" && cpack -G DEB >&2)
ls "$build"/vexlarin_*.deb
