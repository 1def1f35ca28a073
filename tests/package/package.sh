#!/bin/sh
# The packages as users get them, made from a build folder:
#
#   package.sh deb BUILD      the Debian package: its files, its control
#                             fields, lintian, then installed with apt-get,
#                             run, its manual page found, and removed again
#                             (needs root; skips otherwise)
#   package.sh zip BUILD      the zip of the Windows build: the two programs
#                             and README.txt, nothing else
#   package.sh manual SOURCE  the manual page renders without a warning
set -eu

here=$(cd "$(dirname "$0")" && pwd)
rig_lib=$here/../lib
. "$rig_lib/use.sh"

mode=${1-}
build=${2-}

# The file names of a package listing, one a line.
names() {
    sed 's/.* \.\//\//'
}

has_files() {
    for file in "$@"; do
        grep -qxF "$file" "$rig_dir/files" || fail "the package lacks $file: $(cat "$rig_dir/files")"
    done
    echo "ok: files $*"
}

deb_package() {
    [ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
    for tool in dpkg-deb lintian apt-get man; do
        command -v "$tool" >/dev/null || skip "$tool is not installed"
    done
    ! dpkg-query -W -f='${Status}' marvoly 2>/dev/null | grep -q "ok installed" ||
        skip "a marvoly package is installed on this machine already"
    rig_begin "$build/package-runs"
    (cd "$build" && cpack -G DEB -B "$rig_dir") >"$rig_dir/cpack.log" 2>&1 ||
        fail "cpack: $(cat "$rig_dir/cpack.log")"
    package=$rig_dir/marvoly_1.0.0.1_amd64.deb
    [ -f "$package" ] || fail "no $package: $(ls "$rig_dir")"
    dpkg-deb -c "$package" | names >"$rig_dir/files"
    has_files /usr/bin/marvoly /usr/share/man/man1/marvoly.1.gz \
        /usr/share/doc/marvoly/copyright /usr/share/doc/marvoly/changelog.gz \
        /usr/share/doc/marvoly/README.md /usr/share/doc/marvoly/marvoly-report.schema.json \
        /usr/share/doc/marvoly/examples/marvoly-echo.conf
    depends=$(dpkg-deb -f "$package" Depends)
    for library in libc6 libncursesw6; do
        echo "$depends" | grep -q "$library" || fail "Depends: $depends"
    done
    [ -n "$(dpkg-deb -f "$package" Maintainer)" ] || fail "no maintainer"
    lintian --fail-on error "$package" || fail "lintian found errors"
    echo "ok: lintian"

    rig_own deb marvoly
    DEBIAN_FRONTEND=noninteractive timeout 300 apt-get install -y -qq \
        -o DPkg::Lock::Timeout=60 "$package" >"$rig_dir/apt.log" 2>&1 ||
        fail "apt-get: $(cat "$rig_dir/apt.log")"
    expect "installed version" "$(/usr/bin/marvoly --version)" "Marvoly 1.0.0.1"
    expect "manual page" "$(man -w marvoly)" /usr/share/man/man1/marvoly.1.gz
    zcat /usr/share/doc/marvoly/changelog.gz | grep -q -- --deep ||
        fail "the changelog does not tell of --deep"
    MANWIDTH=200 man marvoly 2>/dev/null | sed -n '/^HISTORY/,$p' | grep -q -- --deep ||
        fail "the manual page's history does not tell of --deep"
    rig_undo deb marvoly
    [ ! -e /usr/bin/marvoly ] || fail "the program is still there after removal"
}

zip_package() {
    rig_begin "$build/package-runs"
    (cd "$build" && cpack -G ZIP -B "$rig_dir") >"$rig_dir/cpack.log" 2>&1 ||
        fail "cpack: $(cat "$rig_dir/cpack.log")"
    archive=$rig_dir/Marvoly-1.0.0.1.zip
    python3 -m zipfile -e "$archive" "$rig_dir/unpacked"
    expect "files" "$(cd "$rig_dir/unpacked" && find . -type f | LC_ALL=C sort | tr '\n' ' ')" \
        "./Marvoly.exe ./README.txt ./marvoly-cli.exe "
    for program in Marvoly.exe marvoly-cli.exe; do
        cmp "$rig_dir/unpacked/$program" "$build/src/app/$program" ||
            fail "the zip's $program is not the one built"
    done
}

manual_page() {
    command -v groff >/dev/null || skip "groff is not installed"
    warnings=$(groff -ww -z -man "$build" 2>&1)
    expect "groff's warnings" "$warnings" ""
}

case "$mode" in
deb) deb_package ;;
zip) zip_package ;;
manual) manual_page ;;
*)
    echo "usage: $0 deb|zip BUILD | manual SOURCE" >&2
    exit 2
    ;;
esac
echo "PASS: $mode"
