#!/usr/bin/env bash
# The program's recording and benchmark runs, checked from outside on the demo's data:
#   capture_check.sh record BIN_DIR DATA_DIR     a short recording, checked with ffprobe/ffmpeg
#   capture_check.sh benchmark BIN_DIR DATA_DIR  the benchmark's JSON, parsed
#   capture_check.sh loudness BIN_DIR DATA_DIR   recordings set to loudness targets, measured
#                                                by ffmpeg's own meter
# Runs on the display in $DISPLAY (CTest runs under xvfb-run).
set -euo pipefail
mode=$1
bin=$2
data=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
ln -s "$data/Film_03.dat" Film_03.dat
cp "$data/ConfigEngine.cfg" ConfigEngine.cfg
export SDL_AUDIODRIVER=dummy
export FILM03_INSTANCE="capture_check_$mode"

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# Runs film03 with a time limit; standard output and error go to out.txt and err.txt.
film03() {
    local status=0
    timeout -k 5 600 "$bin/film03" "$@" >out.txt 2>err.txt || status=$?
    return $status
}

# The RMS level in dB of the sound between two times (-inf for digital silence).
rms_level() {
    ffmpeg -hide_banner -nostdin -ss "$2" -to "$3" -i "$1" -vn -af astats=measure_perchannel=none \
        -f null - 2>&1 | sed -n 's/.*RMS level dB: //p' | tail -1
}

below() { python3 -c "import sys; sys.exit(0 if float('$1') < float('$2') else 1)"; }

check_record() {
    # 58 s into the second scene: 7 s of its end with the music's closing hit, then the end
    # screen's 20 s, whose sound lasts 4 s. At 30 frames a second: 211 + 600 frames.
    film03 --record clip.mp4 --size 320x240 --seek second:58000 ||
        fail "recording exited with $?: $(tail -c 2000 err.txt)"
    [[ -s clip.mp4 ]] || fail "no clip.mp4"
    leftovers=$(ls | grep -v -x -e clip.mp4 -e Film_03.dat -e ConfigEngine.cfg -e out.txt -e err.txt || true)
    [[ -z "$leftovers" ]] || fail "temporary files left behind: $leftovers"
    grep -q $'\r''recording 100.0 %  frame 811/811' err.txt || fail "no progress line: $(tail -c 500 err.txt)"

    # A picture and a sound stream (beside the chapters' text track).
    streams=$(ffprobe -v error -show_entries stream=codec_type,codec_name,pix_fmt,width,height,nb_frames,duration -of compact=p=0 clip.mp4 |
        grep -e codec_type=video -e codec_type=audio)
    echo "$streams"
    [[ $(grep -c . <<<"$streams") -eq 2 ]] || fail "not two streams"
    video=$(grep 'codec_name=h264' <<<"$streams") || fail "no H.264 stream"
    audio=$(grep 'codec_name=aac' <<<"$streams") || fail "no AAC stream"
    grep -q 'width=320|height=240' <<<"$video" || fail "wrong size: $video"
    grep -q 'pix_fmt=yuv420p' <<<"$video" || fail "not yuv420p: $video"
    grep -q 'nb_frames=811' <<<"$video" || fail "not 811 frames: $video"
    vd=$(sed -n 's/.*duration=\([0-9.]*\).*/\1/p' <<<"$video")
    ad=$(sed -n 's/.*duration=\([0-9.]*\).*/\1/p' <<<"$audio")
    python3 -c "import sys; sys.exit(0 if abs($vd - $ad) <= 1/30 and abs($vd - 811/30) <= 1/30 else 1)" ||
        fail "durations differ: video $vd s, audio $ad s"

    music=$(rms_level clip.mp4 0 5)
    chime=$(rms_level clip.mp4 7.2 10)
    quiet=$(rms_level clip.mp4 12.5 27)
    echo "RMS: music $music dB, end sound $chime dB, end screen after its sound $quiet dB"
    below -40 "$music" || fail "the music is not audible: $music dB"
    below -40 "$chime" || fail "the end screen's sound is not audible: $chime dB"
    [[ "$quiet" == "-inf" ]] || below "$quiet" -80 || fail "no silence after the end sound: $quiet dB"

    # A recording shows its progress line, not the loading lines.
    ! grep -q 'Loading' out.txt || fail "loading lines on standard output: $(head -c 300 out.txt)"

    # .webm holds VP9 and Opus; letter case does not matter.
    rm -f clip.mp4
    film03 --record clip.WEBM --size 320x240 --seek end:18000 ||
        fail "webm recording exited with $?: $(tail -c 2000 err.txt)"
    streams=$(ffprobe -v error -show_entries stream=codec_name,width,height -of compact=p=0 clip.WEBM)
    echo "$streams"
    grep -q 'codec_name=vp9|width=320|height=240' <<<"$streams" || fail "no VP9 stream: $streams"
    grep -q 'codec_name=opus' <<<"$streams" || fail "no Opus stream: $streams"
    rm -f clip.WEBM

    # Without ffmpeg: a fatal line at once, exit 1, nothing written.
    rm -f clip.mp4
    status=0
    timeout -k 5 120 env PATH=/nonexistent-film03 "$bin/film03" --record clip.mp4 >out.txt 2>err.txt || status=$?
    [[ $status -eq 1 ]] || fail "without ffmpeg: exit $status"
    grep -q $'^fatal\tFILM 03 - Recording - ERROR\tRecording needs the program "ffmpeg"' err.txt ||
        fail "without ffmpeg: $(cat err.txt)"
    # Into a folder that does not exist: the report names the video and its folder, not a
    # temporary file beside it, and nothing is made.
    status=0
    film03 --record missing/clip.mp4 --size 320x240 || status=$?
    [[ $status -eq 1 ]] || fail "into a missing folder: exit $status"
    grep -q $'^fatal\tFILM 03 - Recording - ERROR\tCannot write the video "missing/clip.mp4" in the folder "'"$work"'/missing" !' err.txt ||
        fail "into a missing folder: $(cat err.txt)"
    ! grep -q 'part' err.txt || fail "into a missing folder, a temporary name: $(cat err.txt)"
    [[ ! -e missing ]] || fail "into a missing folder: the folder was made"
    # An ffmpeg that fails after about a hundred frames: the fatal report with its messages on a
    # line of its own after the progress line, and no file under any name.
    printf '#!/bin/sh\nhead -c 30000000 >/dev/null\necho "encoder refuses the frames" >&2\nexit 7\n' |
        record_with_failing_ffmpeg end:14000 'ffmpeg failed .*exit code 7.*encoder refuses the frames'
    # An ffmpeg that encodes but fails at the last step, adding the sound, after it began the
    # muxed file: again no file under any name.
    printf '#!/bin/sh\ncase "$*" in *+faststart*)\n    for last; do :; done\n    echo "half a file" >"$last"\n    echo "muxer refuses the sound" >&2\n    exit 5;;\nesac\nexec %s "$@"\n' \
        "$(command -v ffmpeg)" |
        record_with_failing_ffmpeg end:19000 'ffmpeg failed while adding the sound.*exit code 5.*muxer refuses the sound'
}

# A recording from the point $1 with the ffmpeg script read from standard input: exit 1, the
# fatal report matching $2, and nothing left behind.
record_with_failing_ffmpeg() {
    mkdir fake
    cat >fake/ffmpeg
    chmod +x fake/ffmpeg
    local status=0
    timeout -k 5 300 env PATH="$work/fake:$PATH" "$bin/film03" --record clip.mp4 --size 320x240 \
        --seek "$1" >out.txt 2>err.txt || status=$?
    rm -rf fake
    [[ $status -eq 1 ]] || fail "ffmpeg failing ($2): exit $status"
    grep -q $'^fatal\tFILM 03 - Recording - ERROR\t'"$2" err.txt || fail "ffmpeg failing: $(cat err.txt)"
    leftovers=$(ls | grep -v -x -e Film_03.dat -e ConfigEngine.cfg -e out.txt -e err.txt || true)
    [[ -z "$leftovers" ]] || fail "files left behind by a failed recording ($2): $leftovers"
}

check_benchmark() {
    # The timeline from 50 s into the second scene at 1000/60 ms a step (the whole of it takes
    # too long on a loaded machine), the JSON alone on standard output.
    film03 --benchmark --size 320x240 --seek second:50000 ||
        fail "benchmark exited with $?: $(tail -c 2000 err.txt)"
    python3 - out.txt <<'PY'
import json, sys
report = json.load(open(sys.argv[1]))
print(json.dumps(report))
step = 1000 / 60
# Demo time / step: the second scene draws up to and including its last millisecond (65 s),
# one frame more; the end screen stops before 20 s. The first scene was not played.
expected = {"first": 0, "second": round(15000 / step) + 1, "end": round(20000 / step)}
assert abs(report["step_ms"] - step) < 0.001, report["step_ms"]
for name, frames in expected.items():
    sequence = report["sequences"][name]
    assert sequence["frames"] == frames, (name, sequence["frames"], frames)
    times = sequence["frame_ms"]
    if frames > 0:
        assert 0 < times["median"] <= times["p95"] <= times["max"], (name, times)
assert report["loading_ms"] > 0
assert report["accounted_peak_bytes"] > 0
assert report["peak_rss_bytes"] > report["accounted_peak_bytes"]
assert report["renderer"] not in ("", "Unknown")
assert report["resolution"] == {"width": 320, "height": 240}, report["resolution"]
PY
    grep -q 'Loading Music' err.txt || fail "the loading lines did not move to standard error"
    # To a file: standard output keeps the loading lines. No sound device is needed (the sound
    # is mixed offline, in step with the frames): an audio driver that does not exist.
    SDL_AUDIODRIVER=no-such-device film03 --benchmark times.json --seek end:18000 ||
        fail "benchmark to a file without a sound device exited with $?: $(tail -c 2000 err.txt)"
    python3 -c "import json; r = json.load(open('times.json')); assert r['sequences']['end']['frames'] == 120, r" ||
        fail "times.json: $(cat times.json)"
    grep -q 'Loading Music' out.txt || fail "the loading lines are not on standard output"
    # Its progress on standard error as a recording's, and the summary line at the end.
    grep -q $'\r''benchmark 100.0 %  frame 120/120  end:19983  [0-9.]* frames/s  about 0:00 left' err.txt ||
        fail "no progress line: $(tail -c 500 err.txt)"
    grep -q '^film03: benchmark in times.json: first scene 0 frames, .*; end screen 120 frames, median' err.txt ||
        fail "no summary line: $(tail -c 500 err.txt)"
}

# The integrated loudness (LUFS) and true peak (dBTP) of a file by ffmpeg's own meter, as
# "I PEAK".
loudness_of() {
    ffmpeg -hide_banner -nostdin -i "$1" -af ebur128=peak=true -f null - 2>&1 |
        awk '/^ *I:/ { i = $2 } /^ *Peak:/ { p = $2 } END { print i, p }'
}

# |$1 - $2| <= $3
near() { python3 -c "import sys; sys.exit(0 if abs(float('$1') - float('$2')) <= float('$3') else 1)"; }

check_loudness() {
    # Four seconds of the first scene's music (about -17.7 LUFS, true peak -8 dBTP) at each
    # target: reached where the peak allows, and where it does not (-5) the largest gain that
    # keeps the mix's true peak at -1 dBTP, said in a line. The sound alone (.wav) shows the
    # mix's peak without an encoder's overshoot.
    local rows=(
        # target|file|the line it says|LUFS ffmpeg measures|its true peak at most
        '-14|clip.mp4|a gain of \+3\.[0-9] dB sets the sound to -14\.0 LUFS|-14.0|0'
        '-23|clip.webm|a gain of -5\.[0-9] dB sets the sound to -23\.0 LUFS|-23.0|0'
        '-5|sound.wav|the true peak allows the sound no more than a gain of \+7\.[0-9] dB, short of -5\.0 LUFS: it is at -1[01]\.[0-9] LUFS, true peak -1\.0 dBTP|-10.6|-0.8'
    )
    local target file line lufs peak measured measuredPeak
    for row in "${rows[@]}"; do
        IFS='|' read -r target file line lufs peak <<<"$row"
        film03 --record "$file" --size 64x48 --seek first:20000 --until first:24000 \
            --loudness "$target" || fail "--loudness $target exited with $?: $(tail -c 1000 err.txt)"
        grep -qE "^film03: $line" err.txt || fail "--loudness $target: $(tail -c 600 err.txt)"
        read -r measured measuredPeak <<<"$(loudness_of "$file")"
        echo "--loudness $target into $file: $measured LUFS, true peak $measuredPeak dBTP"
        near "$measured" "$lufs" 0.5 || fail "--loudness $target measures $measured LUFS"
        below "$measuredPeak" "$peak" || fail "--loudness $target: true peak $measuredPeak dBTP"
        rm -f "$file"
    done
    # Without a target the sound stays as mixed and the progress line ends with its figures,
    # the ones ffmpeg measures; with motion blur the frames and the sound still match.
    film03 --record clip.mkv --size 64x48 --seek first:20000 --until first:24000 \
        --motion-blur 3 || fail "recording exited with $?: $(tail -c 1000 err.txt)"
    ! grep -q '^film03: a gain' err.txt || fail "a gain without --loudness: $(cat err.txt)"
    local last=$(tr '\r' '\n' <err.txt | grep '^recording 100.0 %' | tail -1)
    [[ "$last" =~ ([-0-9.]+)\ LUFS,\ true\ peak\ ([-0-9.]+)\ dBTP\ *$ ]] ||
        fail "the progress line does not end with the loudness: $last"
    read -r measured measuredPeak <<<"$(loudness_of clip.mkv)"
    echo "as mixed: ${BASH_REMATCH[1]} LUFS, true peak ${BASH_REMATCH[2]} dBTP; in clip.mkv $measured LUFS, $measuredPeak dBTP"
    near "$measured" "${BASH_REMATCH[1]}" 0.5 || fail "the line says ${BASH_REMATCH[1]} LUFS, the file $measured"
    local frames=$(ffprobe -v error -count_frames -select_streams v:0 \
        -show_entries stream=nb_read_frames -of default=nw=1:nk=1 clip.mkv)
    [[ "$frames" == 120 ]] || fail "blurred: $frames frames, not 120"
    local seconds=$(ffprobe -v error -select_streams a:0 -show_entries format=duration \
        -of default=nw=1:nk=1 clip.mkv)
    near "$seconds" 4.0 0.05 || fail "blurred: $seconds s of sound, not 4"
}

case "$mode" in
    record) check_record ;;
    benchmark) check_benchmark ;;
    loudness) check_loudness ;;
    *) fail "unknown mode $mode" ;;
esac
echo "capture check $mode: passed"
