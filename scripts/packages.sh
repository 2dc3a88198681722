# Sourced by run.sh and test.sh: installs the Debian packages named as arguments that are
# missing, and nothing when all are there.
ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing ${missing[*]} ..." >&2
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    # Progress on standard error, like every other message of the scripts.
    $sudo apt-get update -qq >&2
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
        "${missing[@]}" >&2
}

# What building and running the tool needs.
BUILD_PACKAGES=(cmake ninja-build g++ qt6-base-dev libgl-dev libgtest-dev googletest)
# What the real-display check of the window needs: an X server, a window manager, real input
# and xprop.
DISPLAY_CHECK_PACKAGES=(xvfb openbox xdotool x11-utils)
# What making the Debian package needs besides the build: dpkg-shlibdeps works out its
# dependencies, and CPack finds the programs with file.
PACKAGE_BUILD_PACKAGES=(dpkg-dev file)
# What checking the package needs: lintian, the desktop entry and AppStream validators, and
# man and groff to render the man pages.
PACKAGE_CHECK_PACKAGES=("${PACKAGE_BUILD_PACKAGES[@]}" lintian desktop-file-utils appstream
    man-db groff-base)
# What building for Windows and trying the result under Wine needs (tests/wine/wine_check.sh):
# mingw-w64's C++ compiler with POSIX threads (the default one has no std::thread), and Wine for
# 64-bit programs.
WINE_CHECK_PACKAGES=(g++-mingw-w64-x86-64-posix wine wine64)
