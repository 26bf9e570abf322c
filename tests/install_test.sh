#!/usr/bin/env bash
# The installation: `cmake --install` into a temporary prefix puts every file in its place;
# film03 started from an empty folder finds its data there and makes the user's configuration
# from the shipped one; the working folder's files win; a moved installation still works.
#   tests/install_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

if [[ ! -f $build/data/Film_03.dat ]]; then
    echo "SKIPPED: the build made no data (ZORX_BUILD_DATA=OFF or the data not built yet)"
    exit 77
fi
prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" || fail "cmake --install failed"
for file in bin/film03 bin/demotool share/film03/Film_03.dat share/man/man6/film03.6.gz \
    share/man/man1/demotool.1.gz share/applications/film03.desktop \
    share/icons/hicolor/64x64/apps/film03.png share/doc/film03/copyright; do
    [[ -f $prefix/$file ]] || fail "the installation has no $file"
done
[[ -x $prefix/bin/film03 && -x $prefix/bin/demotool ]] || fail "the programs are not executable"
[[ $(head -c 4 "$prefix/share/icons/hicolor/64x64/apps/film03.png" | tail -c 3) == PNG ]] ||
    fail "the icon is not a PNG"
grep -q '^Exec=film03$' "$prefix/share/applications/film03.desktop" || fail "desktop entry Exec"
grep -q '^Icon=film03$' "$prefix/share/applications/film03.desktop" || fail "desktop entry Icon"

shipped=$prefix/share/film03/ConfigEngine.cfg
if [[ ! -f $shipped ]]; then
    # Older data builds wrote no configuration; the test ships a windowed 1024 x 768 one.
    echo "note: the build ships no ConfigEngine.cfg; the test places one in the installation"
    printf '%b' \
        '\x00\x00\x00\x00' '\x00\x00\x00\x00' '\x20\x00\x00\x00' '\x4b\x00\x00\x00' \
        '\x00\x04\x00\x00' '\x00\x03\x00\x00' '\x00\x00\x00\x00' '\x00\x00\x80\x3f' \
        '\x01\x00\x00\x00' '\x00\x00\x00\x00' '\x00\x00\x00\x00' \
        '\x01\x00\x00\x00' '\x00\x00\x00\x00' '\x20\x00\x00\x00' '\x03\x00\x00\x00' \
        '\x18\x00\x00\x00' '\x01\x01\x00\x00' '\x04\x00\x00\x00' '\x00\x00\x00\x00' \
        '\x00\x00\x00\x00' >"$shipped"
fi
[[ $(stat -c %s "$shipped") -eq 80 ]] || fail "the shipped ConfigEngine.cfg is not 80 bytes"

# Runs the installed film03 in batch mode in folder $1 with the environment in the remaining
# arguments; its output goes to $tmp/out.txt and $tmp/err.txt, its exit code to $status.
run() {
    local folder=$1 program=$2
    shift 2
    status=0
    (cd "$folder" && env -u XDG_CONFIG_HOME FILM03_INSTANCE="install_test_$$" \
        SDL_AUDIODRIVER=dummy "$@" timeout -k 5 300 "$program" --batch --fixed-step 40 \
        --seek end:0 >"$tmp/out.txt" 2>"$tmp/err.txt") || status=$?
}
expect_clean_run() {
    [[ $status -eq 0 ]] || fail "$1: exit code $status: $(cat "$tmp/err.txt")"
    if grep -q '^fatal' "$tmp/err.txt"; then fail "$1: $(cat "$tmp/err.txt")"; fi
    if grep -q 'ConfigEngine' "$tmp/err.txt"; then fail "$1: $(cat "$tmp/err.txt")"; fi
}

# An empty folder: the data comes from the installation, the configuration is made in
# $XDG_CONFIG_HOME/film03 and nothing is written to the working folder.
mkdir "$tmp/empty"
run "$tmp/empty" "$prefix/bin/film03" HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/xdg"
expect_clean_run "from an empty folder"
user=$tmp/xdg/film03/ConfigEngine.cfg
[[ -f $user ]] || fail "no configuration made in \$XDG_CONFIG_HOME/film03"
[[ $(stat -c %s "$user") -eq 80 ]] || fail "the user's configuration is not 80 bytes"
[[ -z $(ls -A "$tmp/empty") ]] || fail "files written to the working folder: $(ls -A "$tmp/empty")"
[[ ! -e $tmp/home/.config ]] || fail "\$HOME/.config used although XDG_CONFIG_HOME is set"

# Without XDG_CONFIG_HOME the configuration lives in $HOME/.config/film03.
run "$tmp/empty" "$prefix/bin/film03" HOME="$tmp/home"
expect_clean_run "without XDG_CONFIG_HOME"
[[ -f $tmp/home/.config/film03/ConfigEngine.cfg ]] || fail "no configuration in \$HOME/.config"

# The working folder's configuration wins: the damaged user file is neither read nor
# rewritten.
mkdir "$tmp/work"
cp "$shipped" "$tmp/work/ConfigEngine.cfg"
printf 'damaged' >"$user"
run "$tmp/work" "$prefix/bin/film03" HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/xdg"
expect_clean_run "with the working folder's configuration"
[[ $(cat "$user") == damaged ]] || fail "the user's configuration was touched"
[[ $(stat -c %s "$tmp/work/ConfigEngine.cfg") -eq 80 ]] || fail "working configuration damaged"

# A moved installation finds its data beside its programs.
mv "$prefix" "$tmp/moved"
rm -rf "$tmp/xdg"
run "$tmp/empty" "$tmp/moved/bin/film03" HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/xdg"
expect_clean_run "from a moved installation"
[[ -f $user ]] || fail "the moved installation made no user configuration"
cmp -s "$user" "$tmp/moved/share/film03/ConfigEngine.cfg" ||
    echo "note: the first start rewrote the copied configuration (settings lowered)"
# With "Save compressed textures" on, an installed program keeps its texture cache files in
# $XDG_CACHE_HOME/film03, never in the working folder; after a rebuild of the archive (here a
# newer time stamp) one notice lists the stale ones and they are made again.
printf '\x01' | dd of="$user" bs=1 seek=76 conv=notrunc status=none
run "$tmp/empty" "$tmp/moved/bin/film03" HOME="$tmp/home" XDG_CACHE_HOME="$tmp/cache" \
    XDG_CONFIG_HOME="$tmp/xdg"
expect_clean_run "saving texture cache files"
caches=$(ls "$tmp/cache/film03" | grep -c '\.UNC$' || true)
[[ $caches -gt 0 ]] || fail "no texture cache files in \$XDG_CACHE_HOME/film03"
[[ -z $(ls -A "$tmp/empty") ]] || fail "files written to the working folder: $(ls -A "$tmp/empty")"
touch -d '+1 hour' "$tmp/moved/share/film03/Film_03.dat"
run "$tmp/empty" "$tmp/moved/bin/film03" HOME="$tmp/home" XDG_CACHE_HOME="$tmp/cache" \
    XDG_CONFIG_HOME="$tmp/xdg"
[[ $status -eq 0 ]] || fail "stale cache files: exit code $status: $(cat "$tmp/err.txt")"
notices=$(grep -c 'texture cache file' "$tmp/err.txt" || true)
[[ $notices -eq 1 ]] || fail "stale cache files: $notices notices: $(cat "$tmp/err.txt")"
grep -q "These texture cache files are not used" "$tmp/err.txt" ||
    fail "stale cache files: $(cat "$tmp/err.txt")"
[[ $(grep -o '\.UNC" (of' "$tmp/err.txt" | wc -l) -eq $caches ]] ||
    fail "not every stale cache file is named: $(cat "$tmp/err.txt")"
grep -q '(of "font.png")' "$tmp/err.txt" || fail "the image's own name is missing: $(cat "$tmp/err.txt")"
echo "installation ok"
