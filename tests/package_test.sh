#!/usr/bin/env bash
# The Debian package: `cpack -G DEB` packs the installation; its control data names the
# package, its section and its runtime libraries, it holds every installed file under /usr,
# and lintian finds no errors in it.
#   tests/package_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
# Exit code 77 makes CTest report the test as skipped. In CI every tool must be there.
skip() {
    if [[ -n ${CI:-} ]]; then fail "$* (required in CI)"; fi
    echo "SKIPPED: $*"
    exit 77
}

[[ -f $build/data/Film_03.dat ]] || skip "the build made no data to pack"
for tool in dpkg-deb dpkg-shlibdeps; do
    command -v $tool >/dev/null || skip "$tool is not installed (package dpkg-dev)"
done
cpack -G DEB -B "$tmp" --config "$build/CPackConfig.cmake" >"$tmp/cpack.log" 2>&1 ||
    fail "cpack failed: $(tail -20 "$tmp/cpack.log")"
debs=("$tmp"/film03_*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || fail "cpack made no film03_*.deb"
deb=${debs[0]}
[[ $(basename "$deb") == film03_*_$(dpkg --print-architecture).deb ]] ||
    fail "unexpected package name $(basename "$deb")"

info=$(dpkg-deb -I "$deb")
field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == film03 ]] || fail "Package: $(field Package)"
[[ $(field Architecture) == $(dpkg --print-architecture) ]] || fail "Architecture"
[[ $(field Section) == graphics ]] || fail "Section: $(field Section)"
[[ $(field Priority) == optional ]] || fail "Priority: $(field Priority)"
[[ $(field Maintainer) == *'<'*@*'>' ]] || fail "Maintainer: $(field Maintainer)"
[[ -n $(field Version) ]] || fail "no Version"
depends=$(field Depends)
for library in libc6 libstdc++6 libsdl2-2.0-0 libfltk1.3 libpng16-16 libvorbisfile3 \
    libmpg123-0 libebur128-1; do
    [[ ", $depends," == *", $library"[\ ,]* ]] || fail "Depends lacks $library: $depends"
done
grep -q '^ Description: ' <<<"$info" || fail "no Description"

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for file in usr/bin/film03 usr/bin/demotool usr/share/film03/Film_03.dat \
    usr/share/man/man6/film03.6.gz usr/share/man/man1/demotool.1.gz \
    usr/share/applications/film03.desktop usr/share/icons/hicolor/64x64/apps/film03.png \
    usr/share/doc/film03/copyright usr/share/doc/film03/changelog.gz; do
    grep -qx "\./$file" <<<"$contents" || fail "the package has no /$file"
done
outside=$(grep -v -e '^\./$' -e '^\./usr/' <<<"$contents" || true)
[[ -z $outside ]] || fail "files outside /usr: $outside"
if grep -q '^\./usr/local/' <<<"$contents"; then fail "files under /usr/local"; fi

if ! command -v lintian >/dev/null; then
    skip "package checked; lintian is not installed, so its check is left out"
fi
lintian --fail-on error --tag-display-limit 0 "$deb" >"$tmp/lintian.log" 2>&1 || {
    cat "$tmp/lintian.log"
    fail "lintian reports errors"
}
grep -v 'root privileges' "$tmp/lintian.log" || true
echo "package ok: $(basename "$deb"), $(stat -c %s "$deb") bytes"
