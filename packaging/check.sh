#!/usr/bin/env bash
# Checks the Debian package as a user gets it: makes it (make-package.sh), then its control
# fields and files, lintian, the desktop entry and AppStream validators, every man page
# rendered without a warning and naming each option of its program's --help, and, unpacked
# into a temporary root, that root's vexlarin-list listing a page from its vexlarin-camsim.
#   packaging/check.sh [BUILD_DIR]   (default: build-package)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-package}
fail() {
    echo "package check: FAILED: $*" >&2
    exit 1
}
have() {  # TOOL PACKAGE: whether TOOL is there; says the step is skipped when not
    command -v "$1" >/dev/null && return 0
    echo "package check: SKIPPED: $1 is missing ($2)" >&2
    return 1
}
have dpkg-shlibdeps dpkg-dev && have file file || exit 0

work=$(mktemp -d)
camera_pid=
cleanup() {
    [ -z "$camera_pid" ] || kill "$camera_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

deb=$("$root/packaging/make-package.sh" "$build")
version=$(dpkg-deb -f "$deb" Version)
echo "package check: $deb, version $version" >&2

# One version everywhere: the project's, with the Debian revision in the package and the
# changelog, without it in the man pages and the AppStream release.
[ "$version" = "$(dpkg-parsechangelog -l "$root/packaging/changelog" -S Version)" ] ||
    fail "the changelog's latest entry is not version $version"
grep -q "<release version=\"${version%-*}\"" "$root"/packaging/*.metainfo.xml ||
    fail "the AppStream metadata has no release ${version%-*}"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libqt6widgets6; do
    [[ "$depends" == *"$library "* ]] || fail "Depends lacks $library: $depends"
done

expected_files="usr/bin/vexlarin
usr/bin/vexlarin-camsim
usr/bin/vexlarin-list
usr/share/applications/vexlarin.desktop
usr/share/doc/vexlarin/README.Debian
usr/share/doc/vexlarin/changelog.Debian.gz
usr/share/doc/vexlarin/copyright
usr/share/icons/hicolor/16x16/apps/vexlarin.png
usr/share/icons/hicolor/32x32/apps/vexlarin.png
usr/share/lintian/overrides/vexlarin
usr/share/man/man1/vexlarin-camsim.1.gz
usr/share/man/man1/vexlarin-list.1.gz
usr/share/man/man1/vexlarin.1.gz
usr/share/metainfo/org.example.vexlarin.metainfo.xml"
files=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./||' | LC_ALL=C sort)
diff <(echo "$expected_files") <(echo "$files") >&2 || fail "the package holds other files"

unpacked=$work/root
dpkg-deb -x "$deb" "$unpacked"

if have lintian lintian; then
    echo "=== lintian" >&2
    # Overridden tags (packaging/lintian-overrides) are not shown: --show-overrides would
    # count them as failures.
    lintian --fail-on error,warning --display-info --pedantic "$deb" >&2 || fail "lintian"
    echo "lintian: done" >&2
fi
if have desktop-file-validate desktop-file-utils; then
    echo "=== desktop-file-validate" >&2
    report=$(desktop-file-validate "$unpacked/usr/share/applications/vexlarin.desktop" 2>&1) &&
        [ -z "$report" ] || fail "desktop-file-validate: $report"
fi
if have appstreamcli appstream; then
    echo "=== appstreamcli" >&2
    appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml >&2 ||
        fail "appstreamcli validate"
    # The metadata beside the desktop entry it launches.
    appstreamcli validate-tree --no-net "$unpacked" >&2 || fail "appstreamcli validate-tree"
fi

if have man man-db && have groff groff-base; then
    echo "=== man pages" >&2
    for program in vexlarin vexlarin-list vexlarin-camsim; do
        page=$unpacked/usr/share/man/man1/$program.1.gz
        report=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) && [ -z "$report" ] ||
            fail "man --warnings $program.1: $report"
        report=$(zcat "$page" | groff -ww -z -man 2>&1) && [ -z "$report" ] ||
            fail "groff -ww $program.1: $report"
        for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" EXAMPLES "SEE ALSO"; do
            zgrep -q "^\.SH \"*$section\"*\$" "$page" || fail "$program.1 has no $section"
        done
        zgrep -q "^\.TH .* \"Vexlarin ${version%-*}\"" "$page" ||
            fail "$program.1 is not for version ${version%-*}"
        [ "$program" = vexlarin ] && continue  # Qt's options only
        # The page's source with its minus signs and font changes as plain text.
        text=$(zcat "$page" | sed 's/\\-/-/g; s/\\f[BIRP]//g')
        options=$("$unpacked/usr/bin/$program" --help | grep -o -- '--[a-z][a-z-]*' | sort -u) &&
            [ -n "$options" ] || fail "$program --help names no options"
        for option in $options; do
            grep -qwF -- "$option" <<<"$text" || fail "$program.1 does not name $option"
        done
    done
    echo "man pages: rendered without warnings, every option of --help named" >&2
fi

echo "=== the unpacked package lists a page" >&2
coproc CAMERA { exec "$unpacked/usr/bin/vexlarin-camsim"; }
camera_pid=$CAMERA_PID
device=
read -r -t 30 device <&"${CAMERA[0]}" || true
[ -n "$device" ] || fail "the unpacked vexlarin-camsim printed no device"
mkdir "$work/home" "$work/run"
echo "\$ VEXLARIN_COM1=$device VEXLARIN_COM2=/nonexistent/com2" \
    "VEXLARIN_COM3=/nonexistent/com3 VEXLARIN_COM4=/nonexistent/com4" \
    "$unpacked/usr/bin/vexlarin-list --port 1 --page 7" >&2
status=0
(cd "$work/run" && HOME=$work/home XDG_CONFIG_HOME= VEXLARIN_COM1=$device \
    VEXLARIN_COM2=/nonexistent/com2 VEXLARIN_COM3=/nonexistent/com3 \
    VEXLARIN_COM4=/nonexistent/com4 exec "$unpacked/usr/bin/vexlarin-list" --port 1 --page 7) \
    >"$work/stdout" 2>"$work/stderr" || status=$?
cat "$work/stdout" >&2
[ "$status" -eq 0 ] || fail "vexlarin-list exited with $status: $(cat "$work/stderr")"
# The simulator's memory holds 16p + 16r + i + 2 (mod 256) at byte i of line r of page p.
expected=
for r in {0..15}; do
    expected+=$(printf '%X0    ' "$r")
    for i in {0..15}; do
        expected+=$(printf '%02X ' $(((16 * 7 + 16 * r + i + 2) % 256)))
    done
    expected+=$'\n'
done
header='^(Mon|Tues|Wednes|Thurs|Fri|Satur|Sun)day, [A-Z][a-z]+ [0-3][0-9], [0-9]{4}   Page = 7$'
head -1 "$work/stdout" | grep -Eq "$header" || fail "the header line is wrong"
diff <(printf '%s' "$expected") <(tail -n +2 "$work/stdout") >&2 || fail "the page is wrong"
# The listing file: the same 17 lines and an empty one, each ending CR LF.
diff <(sed 's/$/\r/' "$work/stdout"; printf '\r\n') "$work/run/Vexlarin.txt" >&2 ||
    fail "Vexlarin.txt differs from the page listed"
kill -TERM "$camera_pid"
status=0
wait "$camera_pid" || status=$?
camera_pid=
[ "$status" -eq 0 ] || fail "vexlarin-camsim exited with $status after SIGTERM"
echo "package check: passed" >&2
