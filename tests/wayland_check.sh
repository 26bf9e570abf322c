#!/usr/bin/env bash
# The demo on a Wayland desktop: a headless sway (with its software renderer) and, beside it,
# an X server, as a Wayland session with XWayland has them. Checks from outside:
#   - whole batch runs in full screen and in a window play on sway's output, not on the X
#     server: exit 0, and grim's screenshots show the picture scaled to the output's height
#     with black bars;
#   - the window carries the desktop entry's name (its icon there);
#   - frames are drawn at the output's own pixels: on a handheld's 1280 x 800 and at output
#     scale 2 and 1.5 the gamma screen's text has hard edges;
#   - a second start raises the first and ends; a stop signal ends a run as on X11;
#   - with a WAYLAND_DISPLAY whose compositor is gone, the demo plays on X11.
# Usage: wayland_check.sh BIN_DIR DATA_DIR. Exit 77 (skipped) where sway, grim or Xvfb is
# missing. sway refuses to run as root: as root, everything runs as the user nobody.
set -uo pipefail
bin=$1
data=$2

for tool in sway swaymsg grim Xvfb xdotool convert python3 setpriv; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is missing"
        exit 77
    fi
done
if [[ ! -f "$data/Film_03.dat" ]]; then
    echo "skipped: no demo data in $data"
    exit 77
fi

work=$(mktemp -d /tmp/film03-wayland.XXXXXX)
chmod 755 "$work"
mkdir -m 700 "$work/run" "$work/demo"
as_user=()
if [[ $(id -u) -eq 0 ]]; then
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    chown nobody:nogroup "$work/run" "$work/demo"
fi
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

# A command run as the session's user in the session's environment, plus NAME=VALUE words.
# (Started in the background as a simple command, its process becomes the program itself.)
in_session=("${as_user[@]}" env -i PATH=/usr/bin:/bin HOME="$work" XDG_RUNTIME_DIR="$work/run"
    SDL_AUDIODRIVER=dummy)
session() { "${in_session[@]}" "$@"; }

# The X server, and sway headless with one 1280 x 720 output.
: >"$work/x.number"
"${in_session[@]}" Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/x.number" 2>/dev/null &
pids+=($!)
cat >"$work/sway.conf" <<'EOF'
output HEADLESS-1 resolution 1280x720 background #0000ff solid_color
xwayland disable
EOF
"${in_session[@]}" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    sway -c "$work/sway.conf" >"$work/sway.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    [[ -s "$work/x.number" && -n "$(ls "$work/run" | grep '^wayland-[0-9]*$')" ]] && break
    sleep 0.1
done
x_display=:$(head -1 "$work/x.number")
wayland=$(ls "$work/run" | grep -m1 '^wayland-[0-9]*$')
swaysock=$(ls "$work"/run/sway-ipc.*.sock 2>/dev/null | head -1)
if [[ -z "$wayland" || "$x_display" == ":" || -z "$swaysock" ]]; then
    echo "FAILED: sway or Xvfb did not start" >&2
    tail -20 "$work/sway.log" >&2
    exit 1
fi
both=(WAYLAND_DISPLAY="$wayland" DISPLAY="$x_display")

# The demo's files, readable and writable by the session's user. The configuration is the
# shipped one (1024 x 768 at 75 Hz, full screen), without the settings a software renderer
# lowers.
cp "$bin/film03" "$data/Film_03.dat" "$work/demo/"
python3 - "$data/ConfigEngine.cfg" "$work/demo/ConfigEngine.cfg" <<'EOF'
import struct, sys
record = bytearray(open(sys.argv[1], 'rb').read())
struct.pack_into('<i', record, 0, 1)       # full screen
struct.pack_into('<i', record, 44 + 0, 0)  # no texture compression
struct.pack_into('<i', record, 44 + 12, 0) # no multisampling
struct.pack_into('<i', record, 44 + 24, 1) # no anisotropic filtering
open(sys.argv[2], 'wb').write(record)
struct.pack_into('<i', record, 12, 0)      # the X server's one mode, at its unknown rate
open(sys.argv[2] + '.x11', 'wb').write(record)
struct.pack_into('<iiiiii', record, 0, 1, 0, 32, 0, 640, 480) # a 640 x 480 full screen
open(sys.argv[2] + '.small', 'wb').write(record)
struct.pack_into('<i', record, 0, 0)       # a 640 x 480 window
open(sys.argv[2] + '.window', 'wb').write(record)
EOF
[[ ${#as_user[@]} -eq 0 ]] || chown -R nobody:nogroup "$work/demo"
cd "$work/demo"

# Starts film03 in the background with the environment words and arguments given (the
# process becomes film03 itself: setpriv and env hand it on).
demo_pid=
start_demo() {
    local words=()
    while [[ $# -gt 0 && "$1" == *=* ]]; do
        words+=("$1")
        shift
    done
    "${in_session[@]}" "${words[@]}" ./film03 "$@" >out.txt 2>err.txt &
    demo_pid=$!
}
# Waits for the run's end (at most 300 s) and returns its exit status.
finish_demo() {
    local status=0
    for _ in $(seq 3000); do
        kill -0 "$demo_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$demo_pid" 2>/dev/null && echo "the run did not end" >>err.txt
    wait "$demo_pid" || status=$?
    return $status
}
demo_window_shown() {
    session SWAYSOCK="$swaysock" swaymsg -t get_tree 2>/dev/null | grep -q '"app_id": "film03"'
}
# The mean brightness (0 to 1) of a rectangle WxH+X+Y of a picture.
mean() { convert "$1" -crop "$2" +repage -colorspace gray -format '%[fx:mean]' info:; }
above() { python3 -c "import sys; sys.exit(0 if float('$1') > float('$2') else 1)"; }

# Plays the first scene's last seconds (then Escape skips the second scene and the end screen
# follows) with grim's screenshots every 0.3 s; good counts those that show the picture: its
# two halves lit and the bars beside it black (sway's background is blue). In full screen the
# 4:3 picture is 960 x 720 from x = 160; in a window tiled to the output (less sway's title bar
# and borders) about 920 x 690 from x = 180. The first shot that shows it also has a second
# start tried, which raises the running demo and ends at once.
watch_run() {
    start_demo "${both[@]}" --batch --fixed-step 100 --seek first:36000 --keys first:44000:Escape
    shots=0 good=0 app_id_seen=0 raised=0
    while kill -0 "$demo_pid" 2>/dev/null; do
        shot="shot-$shots.png"
        if session WAYLAND_DISPLAY="$wayland" grim "$shot" 2>/dev/null && [[ -s "$shot" ]]; then
            shots=$((shots + 1))
            if above "$(mean "$shot" 300x500+300+110)" 0.1 &&
                above "$(mean "$shot" 300x500+680+110)" 0.1 &&
                ! above "$(mean "$shot" 120x500+20+110)" 0.01 &&
                ! above "$(mean "$shot" 120x500+1140+110)" 0.01; then
                good=$((good + 1))
                cp "$shot" "picture-$1.png"
            fi
        fi
        [[ $app_id_seen -eq 0 ]] && demo_window_shown && app_id_seen=1
        if [[ $raised -eq 0 && $good -gt 0 ]]; then
            raised=1
            second=$(session "${both[@]}" ./film03 --batch 2>&1 >/dev/null)
            status=$?
            [[ $status -eq 0 && "$second" == "film03: FILM 03 is already running; it was asked to come to the front" ]] ||
                fail "$1: second start: exit $status, $second"
        fi
        sleep 0.3
    done
    finish_demo
    status=$?
    [[ $status -eq 0 ]] || fail "$1: the run under sway exited with $status: $(tail -c 1000 err.txt)"
    [[ ! -s err.txt ]] || fail "$1: the run under sway reported: $(cat err.txt)"
    [[ $good -gt 0 ]] || fail "$1: none of $shots screenshots shows the picture scaled to the output"
    [[ $app_id_seen -eq 1 ]] || fail "$1: no window with app_id film03 in sway's tree"
    [[ $raised -eq 1 ]] || fail "$1: no second start was tried"
    echo "$1 under sway: exit $status, $good of $shots screenshots show the picture"
    if [[ -f "picture-$1.png" && -n "${FILM03_WAYLAND_SHOTS:-}" ]]; then
        cp "picture-$1.png" "$FILM03_WAYLAND_SHOTS/"
    fi
}

# 1. Whole runs in full screen and in a window, which sway tiles to the output's size.
watch_run fullscreen
cp ConfigEngine.cfg.window ConfigEngine.cfg
watch_run window

# 1b. The desktop does not show through the window: over a green background (a colour the
# gamma screen has not), no pixel of the picture in the tiled window (the gamma screen at gamma
# 1, whose letters are blended over it, held for 20 s of its time) has the background's colour.
swaymsg_bg() { session SWAYSOCK="$swaysock" swaymsg output HEADLESS-1 bg "$1" solid_color >/dev/null; }
swaymsg_bg '#00ff00'
start_demo "${both[@]}" --batch --fixed-step 100 \
    --keys gamma:20000:Enter,first:0:Escape,second:0:Escape,end:0:Escape
looked=0 see_through=0
while kill -0 "$demo_pid" 2>/dev/null; do
    # The window is there where the bar beside the picture is black, not green.
    if session WAYLAND_DISPLAY="$wayland" grim opaque.png 2>/dev/null && [[ -s opaque.png ]] &&
        ! above "$(mean opaque.png 120x500+20+110)" 0.01; then
        looked=$((looked + 1))
        green=$(convert opaque.png -crop 880x620+200+60 +repage \
            -fx 'g > 0.8 && r < 0.3 && b < 0.3' -format '%[fx:mean * w * h]' info:)
        if above "$green" 0; then
            see_through=$((see_through + 1))
            cp opaque.png see-through.png
        fi
    fi
    sleep 0.3
done
finish_demo
swaymsg_bg '#0000ff'
[[ $looked -gt 0 ]] || fail "over green: no screenshot shows the picture"
if [[ $see_through -eq 0 ]]; then
    echo "over green: $looked screenshots of the window, the background in none"
else
    fail "over green: the background shows through the window in $see_through of $looked screenshots"
fi

# 1c. Real pixels. The gamma screen is held and photographed; its white title must have hard
# edges: of the title's lit pixels, the share between dark and bright stays under 0.52 (drawn
# at the output's pixels 0.43 to 0.48; stretched, it smears the edges: 0.57 for the handheld's
# 1024 x 768 picture stretched to 1066 x 800, 0.86 for 640 x 480 stretched to 960 x 720).
#   - A handheld's 1280 x 800 full screen shows the 1024 x 768 picture between black bars
#     (1066 x 800 from x = 107).
#   - At output scale 2 and 1.5 the window has half (two thirds) the output's size in the
#     desktop's units; a 640 x 480 full screen is still drawn at the output's 960 x 720 pixels.
swaymsg_output() { session SWAYSOCK="$swaysock" swaymsg output HEADLESS-1 "$@" >/dev/null; }
soft_share() { # the share of the lit pixels of a rectangle that are neither dark nor bright
    convert "$1" -crop "$2" +repage -colorspace gray -depth 8 gray:- | python3 -c '
import sys
pixels = sys.stdin.buffer.read()
lit = sum(1 for p in pixels if p > 64)
print(sum(1 for p in pixels if 64 < p < 192) / max(lit, 1))'
}
# NAME BAR_WIDTH TITLE: the gamma screen's first screenshot with black bars of BAR_WIDTH and a
# lit title rectangle TITLE, as real-NAME.png; its soft share in $soft.
real_pixels_shot() {
    start_demo "${both[@]}" --batch --fixed-step 100 --keys gamma:900000:Enter
    soft=
    while kill -0 "$demo_pid" 2>/dev/null; do
        if session WAYLAND_DISPLAY="$wayland" grim real.png 2>/dev/null && [[ -s real.png ]] &&
            ! above "$(mean real.png "$(($2 - 10))x500+5+110")" 0.01 &&
            above "$(mean real.png "$3")" 0.05; then
            soft=$(soft_share real.png "$3")
            cp real.png "real-$1.png"
            break
        fi
        sleep 0.3
    done
    kill -TERM "$demo_pid" 2>/dev/null
    finish_demo
    [[ -n "$soft" ]] || fail "$1: no screenshot shows the gamma screen"
    [[ -z "$soft" ]] || above 0.52 "$soft" || fail "$1: the title's edges are soft ($soft of its lit pixels)"
    echo "$1: $soft of the title's lit pixels are soft"
    if [[ -f "real-$1.png" && -n "${FILM03_WAYLAND_SHOTS:-}" ]]; then
        cp "real-$1.png" "$FILM03_WAYLAND_SHOTS/"
    fi
}
cp ConfigEngine.cfg.x11 ConfigEngine.cfg # full screen, 1024 x 768 at "?"
swaymsg_output resolution 1280x800
real_pixels_shot handheld 107 800x60+220+20
cp ConfigEngine.cfg.small ConfigEngine.cfg
swaymsg_output resolution 1280x720
for scale in 2 1.5; do
    swaymsg_output scale "$scale"
    real_pixels_shot "scale-$scale" 160 800x60+260+20
done
swaymsg_output scale 1

# 2. A stop signal ends the run as on X11, with its last line.
start_demo "${both[@]}" --batch --fixed-step 100 --seek end:0
for _ in $(seq 300); do
    demo_window_shown && break
    sleep 0.1
done
kill -TERM "$demo_pid" 2>/dev/null
finish_demo
status=$?
[[ $status -eq 143 ]] || fail "SIGTERM: exit $status, $(tail -c 500 err.txt)"
grep -q '^film03: stopped at .* (SIGTERM)$' err.txt || fail "SIGTERM: no last line: $(cat err.txt)"

# 3. A compositor that is gone: the demo plays on the X server.
cp ConfigEngine.cfg.x11 ConfigEngine.cfg
start_demo WAYLAND_DISPLAY=wayland-gone DISPLAY="$x_display" --batch --fixed-step 50 --seek end:19000
finish_demo
status=$?
[[ $status -eq 0 && ! -s err.txt ]] || fail "with a dead WAYLAND_DISPLAY: exit $status, $(cat err.txt)"

# 4. Without --batch: the configuration dialog (an X11 window, as through XWayland) is
# confirmed with Enter; after the loading dialog the demo's window shows the gamma screen,
# which a stop signal ends.
cp ConfigEngine.cfg.window ConfigEngine.cfg
start_demo "${both[@]}"
on_x() { session DISPLAY="$x_display" "$@"; }
# The key goes to the focused window through the X test extension: the dialog closes on its
# press, so a key sent to the dialog's window itself could find it gone at its release.
on_x timeout 60 xdotool search --sync --name '^KORAL Software - Configuration$' windowfocus --sync \
    >/dev/null || fail "no configuration dialog"
on_x xdotool key Return || fail "Enter did not reach the configuration dialog"
loading=0 shown=0
for _ in $(seq 600); do
    kill -0 "$demo_pid" 2>/dev/null || break
    if on_x xdotool search --name '^KORAL Software - Application loading' >/dev/null; then
        loading=1
    elif [[ $loading -eq 1 ]] && demo_window_shown; then
        shown=1
        break
    fi
    sleep 0.2
done
kill -TERM "$demo_pid" 2>/dev/null
finish_demo
status=$?
[[ $loading -eq 1 && $shown -eq 1 ]] || fail "loading dialog seen: $loading, the window after it: $shown"
[[ $status -eq 143 ]] && grep -q '^film03: stopped at gamma:' err.txt ||
    fail "gamma screen and SIGTERM: exit $status, $(tail -c 500 err.txt)"

[[ $failures -eq 0 ]] || exit 1
echo "all Wayland checks passed"
