#!/usr/bin/env bash
# The renderer's cost over the driver's. `demotool view --frames N` draws the generated hall
# from Camera03 N times in a row in a window; `apitrace trace` records such a run and
# `glretrace --benchmark` replays its GL calls alone, on the same driver. Both are timed as the
# difference between a long and a short run, so that loading, texture uploads and the first
# frames' shader compilation drop out and only steady frames are compared. The engine's frame
# time should stay within 1.15 x the replay's.
#
#   bench/render_overhead.sh [BUILD_DIR]
#
# Environment: LONG (default 60) and SHORT (10) frame counts, SIZE (1024x768), FRAME (the
# first file frame, 500), VIEW_ARGS (more demotool view options, e.g. --no-textures).
# Without a DISPLAY the script runs itself under xvfb-run. Needs apitrace (scripts/install-deps).
set -euo pipefail

build=$(realpath "${1:-build}")
long=${LONG:-60}
short=${SHORT:-10}
size=${SIZE:-1024x768}
frame=${FRAME:-500}
view_args=${VIEW_ARGS:-}

if [[ -z "${DISPLAY:-}" ]]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
for tool in apitrace glretrace; do
    command -v "$tool" >/dev/null || { echo "render_overhead: $tool is missing" >&2; exit 1; }
done
scene="$build/data/Film_03.3ds"
[[ -f "$scene" ]] || { echo "render_overhead: no $scene (build the demo_data target)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SDL_AUDIODRIVER=dummy

# demotool view's own report: "N frames in X ms: ...".
view_ms() {
    # shellcheck disable=SC2086
    "$build/bin/demotool" view "$scene" --camera Camera03 --frame "$frame" --size "$size" \
        --frames "$1" $view_args | tee -a "$work/view.txt" | sed -n 's/^[0-9]* frames in \([0-9.]*\) ms.*/\1/p'
}

# glretrace's report: "Rendered N frames in S secs, ...".
replay_ms() {
    local trace="$work/hall-$1.trace"
    # shellcheck disable=SC2086
    apitrace trace -o "$trace" "$build/bin/demotool" view "$scene" --camera Camera03 \
        --frame "$frame" --size "$size" --frames "$1" $view_args >/dev/null 2>"$work/trace.txt"
    glretrace --benchmark "$trace" 2>&1 | tee -a "$work/replay.txt" |
        sed -n 's/^Rendered [0-9]* frames in \([0-9.]*\) secs.*/\1/p' | awk '{ print $1 * 1000 }'
}

view_short=$(view_ms "$short")
view_long=$(view_ms "$long")
replay_short=$(replay_ms "$short")
replay_long=$(replay_ms "$long")

awk -v vs="$view_short" -v vl="$view_long" -v rs="$replay_short" -v rl="$replay_long" \
    -v n=$((long - short)) -v size="$size" -v frames="$long/$short" '
BEGIN {
    view = (vl - vs) / n; replay = (rl - rs) / n
    printf "hall from Camera03 at %s, %s frames\n", size, frames
    printf "demotool view   : %8.3f ms a frame (%.1f frames/s)\n", view, 1000 / view
    printf "glretrace replay: %8.3f ms a frame (%.1f frames/s)\n", replay, 1000 / replay
    printf "ratio           : %8.3f (goal: at most 1.15)\n", view / replay
}'
echo "--- demotool view's own split (long run):"
tail -n 1 "$work/view.txt"
