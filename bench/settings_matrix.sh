#!/usr/bin/env bash
# Frame times of the demo for every value the "More Settings" dialog offers. Each value is set
# alone in a copy of the shipped ConfigEngine.cfg (every other setting as shipped); one more
# row runs the built-in defaults of all of them at once. Every row plays two segments
# with `film03 --benchmark`: the first scene's opening (`--until first:5000`) and the second
# scene's (`--seek second:0 --until second:5000`), and prints their median, 95th percentile
# and longest frame in milliseconds as a Markdown table. A value equal to the shipped one
# shares the shipped row's figures. The last column names what the run lowered for itself
# and flags a frame over 1 s or a median over 3 x the shipped configuration's.
#
#   bench/settings_matrix.sh [BUILD_DIR]
#
# Environment: SIZE (default 1024x768), TIMEOUT (seconds per segment, default 900; a segment
# that takes longer is reported as such), ONLY (run only the rows whose label matches this
# extended regular expression; the shipped row always runs).
# Without a DISPLAY the script runs itself under xvfb-run.
set -euo pipefail

build=$(realpath "${1:-build}")
size=${SIZE:-1024x768}
limit=${TIMEOUT:-900}
only=${ONLY:-}

if [[ -z "${DISPLAY:-}" ]]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
film03="$build/bin/film03"
shipped="$build/data/ConfigEngine.cfg"
archive="$build/data/Film_03.dat"
for file in "$film03" "$shipped" "$archive"; do
    [[ -f "$file" ]] || { echo "settings_matrix: no $file (build film03 and demo_data)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SDL_AUDIODRIVER=dummy
load=$(cut -d' ' -f1-3 /proc/loadavg)

# Offsets in the 80-byte record: block 2 starts at 44. Bytes are single-byte settings.
declare -A offset=([compression]=44 [filtering]=48 [colour]=52 [multisampling]=56 [depth]=60
    [vsync]=64 [specular]=65 [anisotropy]=68 [detail]=72 [save]=76)
declare -A one_byte=([vsync]=1 [specular]=1 [save]=1)

stored_value() { # FIELD: the shipped value
    local width=4
    [[ -n "${one_byte[$1]:-}" ]] && width=1
    od -An -t d$width -j "${offset[$1]}" -N $width "$shipped" | tr -d ' '
}

set_value() { # FILE FIELD VALUE
    local bytes="" i count=4 value=$3
    [[ -n "${one_byte[$2]:-}" ]] && count=1
    for ((i = 0; i < count; i++)); do
        bytes+=$(printf '\\x%02x' $(((value >> (8 * i)) & 255)))
    done
    printf "%b" "$bytes" | dd of="$1" bs=1 seek="${offset[$2]}" conv=notrunc status=none
}

# One segment in the row's folder; prints "median p95 max" or why there are none.
segment() { # DIR NAME SEQUENCE ARGS...
    local dir=$1 name=$2 sequence=$3 status=0
    shift 3
    (cd "$dir" && timeout -k 10 "$limit" "$film03" --benchmark "$name.json" --size "$size" "$@" \
        >"$name.out" 2>"$name.err") || status=$?
    if ((status == 124 || status == 137)); then
        echo "over ${limit} s"
    elif ((status != 0)); then
        echo "exit $status"
    else
        sed -n "s/.*\"$sequence\": {\"frames\": [0-9]*, \"frame_ms\": {\"median\": \([0-9.]*\), \"p95\": \([0-9.]*\), \"max\": \([0-9.]*\)}}.*/\1 \2 \3/p" \
            "$dir/$name.json"
    fi
}

# What the run's notices say it lowered.
lowered() { # DIR
    local notes=""
    grep -q "Choosing a PixelFormat supporting" "$1"/*.err 2>/dev/null && notes="fewer samples"
    grep -q "renders in software" "$1"/*.err 2>/dev/null &&
        notes="${notes:+$notes, }lowered for the run"
    echo "$notes"
}

# Runs a row in DIR; sets the global figures "first median p95 max second median p95 max".
run_row() { # DIR
    local first second
    first=$(segment "$1" first first --until first:5000)
    second=$(segment "$1" second second --seek second:0 --until second:5000)
    figures="$first|$second"
}

base_first=""
base_second=""
# Cells for one segment, and the goal's verdict against the shipped figures.
cells() { # "median p95 max" BASE_MEDIAN
    local median p95 max
    read -r median p95 max <<<"$1"
    if [[ ! "$median" =~ ^[0-9.]+$ ]]; then
        echo "| $1 | | "
        return
    fi
    printf '| %.1f | %.1f | %.1f ' "$median" "$p95" "$max"
}

verdict() { # "median p95 max" BASE_MEDIAN
    local median p95 max
    read -r median p95 max <<<"$1"
    [[ ! "$median" =~ ^[0-9.]+$ ]] && { echo "did not finish"; return; }
    awk -v m="$median" -v x="$max" -v b="$2" 'BEGIN {
        if (x > 1000) print "frame over 1 s";
        if (b > 0 && m > 3 * b) print "median over 3 x shipped" }'
}

print_row() { # LABEL DIR
    local first=${figures%%|*} second=${figures##*|} notes verdicts
    notes=$(lowered "$2")
    verdicts=$(
        verdict "$first" "${base_first%% *}"
        verdict "$second" "${base_second%% *}"
    )
    verdicts=$(echo "$verdicts" | { grep -v '^$' || true; } | sort -u | paste -sd, - | sed 's/,/, /g')
    if [[ -n "$verdicts" ]]; then notes="${notes:+$notes, }**$verdicts**"; fi
    echo "| $1 $(cells "$first")$(cells "$second")| $notes |"
}

header_printed=""
header() {
    [[ -n "$header_printed" ]] && return
    header_printed=1
    local renderer
    renderer=$(sed -n 's/.*"renderer": "\(.*\)",*$/\1/p' "$work/shipped/first.json")
    echo "film03 --benchmark --size $size on ${renderer:-an unknown renderer}, $(nproc) cores," \
        "load average $load at the start"
    echo
    echo "| setting | first median | p95 | max | second median | p95 | max | notes |"
    echo "|---|---:|---:|---:|---:|---:|---:|---|"
}

mkdir "$work/shipped"
cp "$shipped" "$work/shipped/"
ln -s "$archive" "$work/shipped/"
run_row "$work/shipped"
shipped_figures=$figures
base_first=${figures%%|*}
base_second=${figures##*|}
header
print_row "shipped configuration" "$work/shipped"

row=0
# FIELD, then VALUE=LABEL pairs in the dialog's order.
matrix() {
    local field=$1 title=$2 pair value label dir
    shift 2
    for pair in "$@"; do
        value=${pair%%=*}
        label="$title: ${pair#*=}"
        [[ -n "$only" && ! "$label" =~ $only ]] && continue
        if [[ "$value" == "$(stored_value "$field")" ]]; then
            figures=$shipped_figures
            print_row "$label (shipped)" "$work/shipped"
            continue
        fi
        dir="$work/row$((row += 1))"
        mkdir "$dir"
        cp "$shipped" "$dir/"
        chmod u+w "$dir/ConfigEngine.cfg"
        ln -s "$archive" "$dir/"
        set_value "$dir/ConfigEngine.cfg" "$field" "$value"
        run_row "$dir"
        print_row "$label" "$dir"
    done
}

matrix save "Save compressed textures" 0=off 1=on
matrix multisampling "MultiSampling" 6=8x 5=6x 4="4x 9 taps" 3="4x 4 taps" 2="2x 5 taps" \
    1="2x 2 taps" 0=none
matrix specular "Specular" 1="eye origin" 0="parallel to z"
matrix vsync "Vertical Sync" 1=on 0=off
matrix depth "Depth Buffer" 24="24 bit" 16="16 bit"
matrix compression "S3TC (Compression)" 0=off 1=DXT3 2=DXT5 3=DXT1
matrix detail "Detail Level" 0=best 1=high 2=medium 3=low
matrix filtering "Filtering" 0=trilinear 1="bilinear mipmapped" 2="bilinear, no mipmap"
matrix anisotropy "Anisotropic Filtering" 16=16x 8=8x 4=4x 2=2x 1=off
matrix colour "Color Depth" 32="32 bit" 16="16 bit"

# The built-in defaults of the engine settings (DXT3, trilinear, 32-bit textures, 4x
# multisampling, 24-bit depth, vertical sync, eye-origin specular, 4x anisotropy) in the
# shipped window: the built-in full-screen mode at 75 Hz needs a display that offers it.
label="built-in defaults of More Settings"
if [[ -z "$only" || "$label" =~ $only ]]; then
    dir="$work/defaults"
    mkdir "$dir"
    cp "$shipped" "$dir/"
    chmod u+w "$dir/ConfigEngine.cfg"
    ln -s "$archive" "$dir/"
    for pair in compression=1 filtering=0 colour=32 multisampling=3 depth=24 vsync=1 specular=1 \
        anisotropy=4 detail=0 save=0; do
        set_value "$dir/ConfigEngine.cfg" "${pair%%=*}" "${pair#*=}"
    done
    run_row "$dir"
    print_row "$label" "$dir"
fi
