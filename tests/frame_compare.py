#!/usr/bin/env python3
"""Compares frame FRAME of a recorded video with a screenshot PNG of the same moment.

  frame_compare.py VIDEO FRAME PNG exact   every pixel equal
  frame_compare.py VIDEO FRAME PNG flat    on flat areas (pixels whose 5 x 5 neighbourhood in
                                           the PNG varies by at most 4 levels) the mean error is
                                           at most 1.5 levels of 255 and no channel is biased by
                                           more than 1 level

The video is decoded as a player would: with the matrix and range its tags name, and BT.709
in limited range where it names none. VIDEO may be a folder of PNG frames (000000.png, ...).
Prints the figures; the exit status is 0 when the frame passes, 1 when not.
"""
import json
import os
import subprocess
import sys

MATRICES = {"bt709": "bt709", "smpte170m": "smpte170m", "bt470bg": "bt470bg", "fcc": "fcc",
            "smpte240m": "smpte240m", "bt2020nc": "bt2020"}


def probe_colour(video):
    out = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                          "stream=color_space,color_range,pix_fmt", "-of", "json", video],
                         check=True, capture_output=True, text=True).stdout
    return json.loads(out)["streams"][0]


def decode(source, frame, colour):
    scale = "scale=flags=accurate_rnd+full_chroma_int"
    if colour is not None and not colour.get("pix_fmt", "").startswith(("gbr", "bgr", "rgb")):
        matrix = MATRICES.get(colour.get("color_space", ""), "bt709")
        full = colour.get("color_range") in ("pc", "jpeg")
        scale += ":in_color_matrix=%s:in_range=%s" % (matrix, "pc" if full else "tv")
    select = "select=eq(n\\,%d)," % frame if frame is not None else ""
    out = subprocess.run(["ffmpeg", "-v", "error", "-nostdin", "-i", source, "-vf",
                          select + scale + ",format=rgb24", "-frames:v", "1", "-f", "rawvideo",
                          "-"], check=True, capture_output=True).stdout
    size = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                           "stream=width,height", "-of", "csv=p=0", source], check=True,
                          capture_output=True, text=True).stdout.strip().split(",")
    return int(size[0]), int(size[1]), out


def flat_mask(width, height, pixels, radius=2, spread=4):
    """True where every channel varies by at most `spread` over the (2r+1)^2 box."""
    def box_range(channel):
        values = [pixels[i * 3 + channel] for i in range(width * height)]
        # Running min and max along rows, then along columns.
        def sweep(data, w, h, step_x):
            lo = [0] * (w * h)
            hi = [0] * (w * h)
            for y in range(h):
                for x in range(w):
                    if step_x:
                        row = data[y * w + max(0, x - radius):y * w + min(w, x + radius + 1)]
                    else:
                        row = [data[yy * w + x] for yy in range(max(0, y - radius), min(h, y + radius + 1))]
                    lo[y * w + x] = min(row)
                    hi[y * w + x] = max(row)
            return lo, hi
        lo, hi = sweep(values, width, height, True)
        lo, _ = sweep(lo, width, height, False)
        _, hi = sweep(hi, width, height, False)
        return [h - l for h, l in zip(hi, lo)]
    ranges = [box_range(c) for c in range(3)]
    return [max(r[i] for r in ranges) <= spread for i in range(width * height)]


def compare(video, frame, png, mode):
    """(passed, what was measured) for frame `frame` of `video` against `png`."""
    if os.path.isdir(video):
        w1, h1, got = decode(os.path.join(video, "%06d.png" % frame), None, None)
    else:
        w1, h1, got = decode(video, frame, probe_colour(video))
    w2, h2, want = decode(png, None, None)
    if (w1, h1) != (w2, h2) or len(got) != len(want):
        return False, "sizes differ: %dx%d against %dx%d" % (w1, h1, w2, h2)
    if mode == "exact":
        differing = sum(1 for i in range(0, len(got), 3) if got[i:i + 3] != want[i:i + 3])
        return differing == 0, "exact: %d of %d pixels differ" % (differing, w1 * h1)
    mask = flat_mask(w1, h1, want)
    count = sum(mask)
    if count < w1 * h1 // 50:
        return False, "too few flat pixels: %d" % count
    bias = [0.0, 0.0, 0.0]
    error = 0.0
    for i, flat in enumerate(mask):
        if not flat:
            continue
        for c in range(3):
            d = got[i * 3 + c] - want[i * 3 + c]
            bias[c] += d
            error += abs(d)
    bias = [b / count for b in bias]
    error /= count * 3
    text = "flat pixels %d (%.0f %%), mean error %.3f, bias R %+.3f G %+.3f B %+.3f" % (
        count, 100.0 * count / (w1 * h1), error, bias[0], bias[1], bias[2])
    return error <= 1.5 and max(abs(b) for b in bias) <= 1.0, text


def main():
    passed, text = compare(sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4])
    print(text)
    return 0 if passed else 1


if __name__ == "__main__":
    sys.exit(main())
