#!/usr/bin/env python3
"""Every output of a recording, checked from outside on the demo's data with ffprobe/ffmpeg.

  capture_outputs.py BIN_DIR DATA_DIR [ROW...]      ROW: the rows' file names, e.g. clip.mp4

One table: each row records the same stretch (the first scene from 15 s, Escape at 15.3 s,
then half a second of the end screen) into one container and codec at one frame rate, with a
screenshot of the same moment, and checks the picture's codec and format, the colour tags, the
frame rate as a fraction, the frame count and length, the sound's length, the tags and the
chapters, and the frame against the screenshot (bit for bit for the masters, within 1.5 levels
on flat areas for the lossy codecs). Runs on the display in $DISPLAY.
"""
import datetime
import fractions
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import frame_compare  # noqa: E402

# CAPTURE_SIZE measures the same table at another size (the colour figures of the recording
# page come from 640x480, 1280x720 and 1920x1080).
SIZE = os.environ.get("CAPTURE_SIZE", "640x480")
SEEK_MS, SHOT_MS, ESCAPE_MS, UNTIL_END_MS = 15000, 15200, 15300, 500
BT709 = {"color_space": "bt709", "color_primaries": "bt709", "color_transfer": "bt709",
         "color_range": "tv"}

# name, extra options, rate, codec, pixel format, profile, frame check, exact fraction in the
# container, sound stored losslessly
ROWS = [
    ("clip.mp4", [], "30000/1001", "h264", "yuv420p", "High", "flat", True, False),
    ("clip.mov", [], "60", "h264", "yuv420p", "High", "flat", True, False),
    ("clip.mkv", ["--chroma", "444"], "60000/1001", "h264", "yuv444p", "High 4:4:4 Predictive",
     "flat", False, False),
    ("clip.webm", [], "25", "vp9", "yuv420p", "Profile 0", "flat", True, False),
    ("prores.mov", ["--codec", "prores"], "24000/1001", "prores", "yuv444p12le", "4444", "flat",
     True, True),
    ("master.mkv", ["--codec", "ffv1"], "120", "ffv1", "bgr0", None, "exact", False, True),
    ("frames/", [], "50", "png", "rgb24", None, "exact", True, True),
]


def ceil_div(a, b):
    return -(-a // b)


def run(command, **kwargs):
    return subprocess.run(command, check=True, capture_output=True, text=True, **kwargs).stdout


def probe(path, *entries):
    return json.loads(run(["ffprobe", "-v", "error", "-of", "json"] + list(entries) + [path]))


def stream_span(path, selector):
    """First start and last end of a stream's packets, in seconds."""
    packets = probe(path, "-select_streams", selector, "-show_entries",
                    "packet=pts_time,duration_time")["packets"]
    starts = [float(p["pts_time"]) for p in packets]
    ends = [float(p["pts_time"]) + float(p.get("duration_time", 0)) for p in packets]
    return min(starts), max(ends)


def decoded_samples(path):
    """Sample frames of the first sound stream, decoded as a player would (priming removed)."""
    raw = subprocess.run(["ffmpeg", "-v", "error", "-nostdin", "-i", path, "-map", "0:a:0",
                          "-ar", "44100", "-ac", "2", "-f", "s16le", "-"], check=True,
                         capture_output=True).stdout
    return len(raw) // 4


def check_row(row, bin_dir, version, failures):
    name, options, rate_text, codec, pix_fmt, profile, frame_check, exact_rate, lossless = row
    rate = fractions.Fraction(rate_text)
    problems = []

    def expect(condition, what):
        if not condition:
            problems.append(what)

    command = [os.path.join(bin_dir, "film03"), "--record", name, "--size", SIZE, "--fps",
               rate_text, "--seek", "first:%d" % SEEK_MS, "--keys",
               "first:%d:Escape" % ESCAPE_MS, "--until", "end:%d" % UNTIL_END_MS, "--shots",
               "first:%d" % SHOT_MS] + options
    result = subprocess.run(command, capture_output=True, text=True, timeout=600)
    if result.returncode != 0:
        failures.append("%s: exit %d: %s" % (name, result.returncode, result.stderr[-1500:]))
        return
    summary = re.search(r"film03: recorded (\S+) \(([0-9.]+) MB\): (\d+) frames at (\d+x\d+) "
                        r"and (\S+) frames/s, ([0-9.]+) s long", result.stderr)
    if summary is None:
        failures.append("%s: no summary line: %s" % (name, result.stderr[-500:]))
        return
    frames = int(summary.group(3))
    expect(summary.group(1) == os.path.abspath(name.rstrip("/")) + ("/" if name.endswith("/") else ""),
           "summary names %s" % summary.group(1))
    expect(summary.group(5) == rate_text, "summary rate %s" % summary.group(5))
    # Frame k shows 15000 + floor(k × D/N s): the shot is the first at or after 15.2 s.
    shot_frame = ceil_div((SHOT_MS - SEEK_MS) * rate.numerator, 1000 * rate.denominator)
    end_frames = ceil_div(UNTIL_END_MS * rate.numerator, 1000 * rate.denominator)
    length = frames / rate
    shot = "first-%d.png" % SHOT_MS
    year = str(datetime.datetime.now(datetime.timezone.utc).year)

    if name.endswith("/"):
        folder = name.rstrip("/")
        pngs = sorted(f for f in os.listdir(folder) if f.endswith(".png"))
        expect(pngs == ["%06d.png" % i for i in range(frames)], "frames %s" % pngs[:3])
        wav = os.path.join(folder, folder + ".wav")
        info = probe(wav, "-show_entries", "stream=duration_ts,sample_rate")["streams"][0]
        # After k frames floor(k × 44100 × D/N) sample frames: the sound ends within one
        # sample of the picture.
        expect(int(info["duration_ts"]) == frames * 44100 * rate.denominator // rate.numerator,
               "WAV holds %s sample frames for %d frames" % (info["duration_ts"], frames))
        meta = open(os.path.join(folder, "chapters.txt")).read()
        expect("title=FILM 03\n" in meta and "artist=KORAL\n" in meta and
               "date=%s\n" % year in meta and version in meta, "chapters.txt tags: %s" % meta)
        expect("TIMEBASE=%d/%d\nSTART=%d\nEND=%d\ntitle=End screen" %
               (rate.denominator, rate.numerator, frames - end_frames, frames) in meta,
               "chapters.txt: %s" % meta)
        passed, text = frame_compare.compare(folder, shot_frame, shot, frame_check)
    else:
        info = probe(name, "-count_frames", "-show_streams", "-show_chapters", "-show_format")
        video = [s for s in info["streams"] if s["codec_type"] == "video"]
        audio = [s for s in info["streams"] if s["codec_type"] == "audio"]
        expect(len(video) == 1 and len(audio) == 1, "streams %s" % info["streams"])
        video = video[0]
        expect(video["codec_name"] == codec, "codec %s" % video["codec_name"])
        expect(video["pix_fmt"] == pix_fmt, "pix_fmt %s" % video["pix_fmt"])
        if profile is not None:
            expect(video.get("profile") == profile, "profile %s" % video.get("profile"))
        expect("%dx%d" % (video["width"], video["height"]) == SIZE, "size")
        if frame_check == "flat":
            for key, value in BT709.items():
                expect(video.get(key) == value, "%s %s" % (key, video.get(key)))
        expect(int(video["nb_read_frames"]) == frames,
               "%s frames in the file, %d written" % (video["nb_read_frames"], frames))
        stored = fractions.Fraction(video["r_frame_rate"])
        # Matroska keeps times in milliseconds: the nearest rate it can say.
        expect(stored == rate if exact_rate else abs(stored / rate - 1) < 1e-4,
               "r_frame_rate %s" % video["r_frame_rate"])
        start, end = stream_span(name, "v:0")
        expect(abs((end - start) - float(length)) <= 0.001,
               "video lasts %.6f s, not %.6f" % (end - start, float(length)))
        samples = decoded_samples(name)
        wanted = frames * 44100 * rate.denominator // rate.numerator
        expect(samples == wanted or not lossless,
               "sound of %d sample frames for %d" % (samples, wanted))
        # The sound ends with the picture; lossy codecs pad to their frames (up to 25 ms).
        audio_end = float(audio[0].get("start_time", 0)) + samples / 44100
        expect(abs(audio_end - end) <= (0.001 if lossless else 0.025),
               "the sound ends at %.6f s, the picture at %.6f s" % (audio_end, end))
        tags = {k.lower(): v for k, v in info["format"].get("tags", {}).items()}
        expect(tags.get("title") == "FILM 03" and tags.get("artist") == "KORAL" and
               tags.get("date") == year and version in tags.get("comment", ""),
               "tags %s" % tags)
        chapters = info["chapters"]
        titles = [c.get("tags", {}).get("title") for c in chapters]
        expect(titles == ["First scene", "End screen"], "chapter titles %s" % titles)
        if len(chapters) == 2:
            boundary = float((frames - end_frames) / rate)
            # MP4 and MOV keep chapter times in milliseconds.
            slack = 0.0005 if name.endswith((".mp4", ".mov")) else 1e-6
            expect(abs(float(chapters[1]["start_time"]) - boundary) <= slack and
                   abs(float(chapters[0]["end_time"]) - boundary) <= slack and
                   abs(float(chapters[1]["end_time"]) - float(length)) <= slack,
                   "chapters %s, the end screen from %.6f s" %
                   ([(c["start_time"], c["end_time"]) for c in chapters], boundary))
        passed, text = frame_compare.compare(name, shot_frame, shot, frame_check)
    expect(passed, "frame %d against %s: %s" % (shot_frame, shot, text))
    print("%-11s %-11s %5d frames %8.3f MB  %s" % (name, rate_text, frames,
                                                    float(summary.group(2)), text))
    failures += ["%s: %s" % (name, p) for p in problems]


def main():
    bin_dir, data_dir = sys.argv[1], sys.argv[2]
    wanted = sys.argv[3:]
    work = tempfile.mkdtemp()
    try:
        os.chdir(work)
        os.symlink(os.path.join(data_dir, "Film_03.dat"), "Film_03.dat")
        shutil.copy(os.path.join(data_dir, "ConfigEngine.cfg"), "ConfigEngine.cfg")
        os.environ["SDL_AUDIODRIVER"] = "dummy"
        os.environ["FILM03_INSTANCE"] = "capture_outputs"
        version = run([os.path.join(bin_dir, "film03"), "--version"]).split()[5]
        failures = []
        for row in ROWS:
            if not wanted or row[0] in wanted:
                check_row(row, bin_dir, version, failures)
        for failure in failures:
            print("FAILED:", failure)
        return 1 if failures else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
