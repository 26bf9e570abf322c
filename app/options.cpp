#include "app/options.h"

#include <cctype>
#include <charconv>
#include <cstdlib>

#include "app/recording_files.h"
#include "app/timeline.h"
#include "platform/events.h"

#ifndef FILM03_VERSION
#error "FILM03_VERSION comes from the build (app/CMakeLists.txt)"
#endif

namespace {

bool parseNumber(const std::string& text, uint32_t& value) {
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end && !text.empty();
}

// "SEQ:MS", SEQ one of the sequences' names.
bool parsePoint(const std::string& text, TimelinePoint& point) {
    size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    return sequenceFromName(text.substr(0, colon), point.sequence) &&
           parseNumber(text.substr(colon + 1), point.ms);
}

// The largest side of a recording or benchmark window (the largest texture and window the
// drivers in use accept).
constexpr uint32_t kMaxCaptureSide = 16384;

// "SEQ:MS" of the sequence's last point when the point lies past it, else empty.
std::string pastSequenceEnd(const TimelinePoint& point) {
    uint32_t last = sequenceLastMs(point.sequence);
    if (point.ms <= last) return {};
    return std::string(sequenceName(point.sequence)) + ":" + std::to_string(last);
}

// "WxH" with both sides even (the video's colour format halves them) and within reason.
bool parseSize(const std::string& text, uint32_t& width, uint32_t& height) {
    size_t x = text.find('x');
    if (x == std::string::npos) return false;
    if (!parseNumber(text.substr(0, x), width) || !parseNumber(text.substr(x + 1), height))
        return false;
    return width >= 16 && height >= 16 && width <= kMaxCaptureSide && height <= kMaxCaptureSide &&
           width % 2 == 0 && height % 2 == 0;
}

// "SEQ:MS:KEY".
bool parseTimedKey(const std::string& text, TimedKey& key) {
    size_t colon = text.rfind(':');
    if (colon == std::string::npos) return false;
    key.keyCode = keyCodeForName(text.substr(colon + 1));
    return key.keyCode >= 0 && parsePoint(text.substr(0, colon), key.point);
}

// "ITEM,ITEM,...", each item read by parseItem.
template <typename Item, typename Parse>
bool parseList(const std::string& text, std::vector<Item>& items, Parse parseItem) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        Item item;
        if (!parseItem(text.substr(start, comma - start), item)) return false;
        items.push_back(item);
        start = comma + 1;
    }
    return !items.empty();
}

} // namespace

Options parseOptions(const std::vector<std::string>& arguments) {
    Options options;
    auto fail = [&options](const std::string& why) {
        if (options.error.empty() && !why.empty()) options.error = why;
    };
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        bool hasValue = i + 1 < arguments.size();
        auto value = [&]() -> std::string {
            if (!hasValue) {
                fail("option " + option + " needs a value");
                return {};
            }
            return arguments[++i];
        };
        if (option == "--help" || option == "-h") {
            options.help = true;
        } else if (option == "--version") {
            options.version = true;
        } else if (option == "--batch") {
            options.batch = true;
        } else if (option == "--answer") {
            std::string answer = value();
            if (answer == "yes" || answer == "no")
                options.answerYes = answer == "yes";
            else
                fail("--answer takes yes or no, not '" + answer + "'");
        } else if (option == "--fixed-step") {
            std::string ms = value();
            if (!parseNumber(ms, options.fixedStepMs) || options.fixedStepMs == 0)
                fail("--fixed-step takes a number of milliseconds above 0, not '" + ms + "'");
        } else if (option == "--shots") {
            std::string list = value();
            if (!parseList(list, options.shots, parsePoint))
                fail("--shots takes a list like first:30000,end:4000, not '" + list + "'");
        } else if (option == "--keys") {
            std::string list = value();
            if (!parseList(list, options.keys, parseTimedKey))
                fail("--keys takes a list like first:20000:Escape,end:1000:Space, not '" + list +
                     "'");
        } else if (option == "--record") {
            options.recordFile = value();
            options.batch = true;
            if (options.recordFile.empty()) fail("--record needs a file name");
        } else if (option == "--codec") {
            options.recordCodec = value();
        } else if (option == "--chroma") {
            std::string chroma = value();
            if (!parseNumber(chroma, options.chroma) ||
                (options.chroma != 420 && options.chroma != 444))
                fail("--chroma takes 420 or 444, not '" + chroma + "'");
        } else if (option == "--fps") {
            std::string fps = value();
            if (!parseFrameRate(fps, options.fps))
                fail("--fps takes a frame rate N or N/D from 1 to " + std::to_string(kMaxFps) +
                     " frames a second (e.g. 60 or 60000/1001), not '" + fps + "'");
        } else if (option == "--motion-blur") {
            std::string count = value();
            if (!parseNumber(count, options.subFrames) || options.subFrames == 0 ||
                options.subFrames > kMaxSubFrames)
                fail("--motion-blur takes a number of sub-frames from 1 to " +
                     std::to_string(kMaxSubFrames) + ", not '" + count + "'");
        } else if (option == "--shutter") {
            std::string degrees = value();
            options.shutterGiven = true;
            if (!parseNumber(degrees, options.shutterDegrees) || options.shutterDegrees == 0 ||
                options.shutterDegrees > 360)
                fail("--shutter takes an angle from 1 to 360 degrees, not '" + degrees + "'");
        } else if (option == "--loudness") {
            std::string lufs = value();
            char* end = nullptr;
            options.loudness = true;
            options.loudnessLufs = std::strtod(lufs.c_str(), &end);
            if (lufs.empty() || end != lufs.c_str() + lufs.size() ||
                !(options.loudnessLufs >= -70.0 && options.loudnessLufs <= 0.0))
                fail("--loudness takes a loudness from -70 to 0 LUFS, e.g. -14, not '" + lufs +
                     "'");
        } else if (option == "--size") {
            std::string size = value();
            if (!parseSize(size, options.width, options.height))
                fail("--size takes even WIDTHxHEIGHT from 16x16 to " +
                     std::to_string(kMaxCaptureSide) + "x" + std::to_string(kMaxCaptureSide) +
                     ", e.g. 1280x720, not '" + size + "'");
        } else if (option == "--scale") {
            std::string scale = value();
            char* end = nullptr;
            float fixed = std::strtof(scale.c_str(), &end);
            if (scale == "on" || scale == "off") {
                options.scale = scale == "on" ? Options::Scale::On : Options::Scale::Off;
            } else if (!scale.empty() && end == scale.c_str() + scale.size() && fixed >= 0.5f &&
                       fixed <= 1.0f) {
                options.scale = Options::Scale::Fixed;
                options.fixedScale = fixed;
            } else {
                fail("--scale takes on, off or a scale from 0.5 to 1, not '" + scale + "'");
            }
        } else if (option == "--benchmark") {
            options.benchmark = true;
            options.batch = true;
            if (hasValue && arguments[i + 1].rfind("--", 0) != 0)
                options.benchmarkFile = arguments[++i];
        } else if (option == "--picture-gamma") {
            options.gammaInPicture = true;
        } else if (option == "--until") {
            std::string point = value();
            options.until = parsePoint(point, options.untilPoint);
            if (!options.until) fail("--until takes SEQ:MS, not '" + point + "'");
        } else if (option == "--frames" || option == "--part") {
            std::string text = value();
            SegmentRequest& segment = options.segment;
            if (segment.kind != SegmentRequest::Kind::Whole)
                fail("--frames and --part cannot be given together");
            if (option == "--frames") {
                segment.kind = SegmentRequest::Kind::Frames;
                if (!parseFrameRange(text, segment.frames))
                    fail("--frames takes FIRST-END, frames FIRST to END-1 of the recording with "
                         "FIRST below END, e.g. 0-300, not '" +
                         text + "'");
            } else {
                segment.kind = SegmentRequest::Kind::Part;
                if (!parsePart(text, segment.part, segment.parts))
                    fail("--part takes K/N, part K of N equal parts with K from 1 to N, e.g. "
                         "2/4, not '" +
                         text + "'");
            }
        } else if (option == "--count-frames") {
            options.countFrames = true;
        } else if (option == "--seek") {
            std::string point = value();
            options.seek = parsePoint(point, options.seekTo);
            if (!options.seek)
                fail("--seek takes SEQ:MS, not '" + point + "'");
            else if (std::string last = pastSequenceEnd(options.seekTo); !last.empty())
                fail("--seek " + point +
                     " lies past the end of the sequence, whose last point is " + last);
        } else {
            fail("unknown option '" + option + "'");
        }
    }
    // A sound-only recording takes the picture's options and has no use for them, so that
    // the runs of one recording in segments share their options.
    if (!options.recordFile.empty() && !recordsSoundOnly(options.recordFile))
        fail(resolveRecordFormat(options.recordFile, options.recordCodec, options.chroma,
                                 options.recordFormat));
    else if (options.recordFile.empty() && (!options.recordCodec.empty() || options.chroma != 0))
        fail("--codec and --chroma need --record");
    if (!options.shots.empty() && options.fixedStepMs == 0 && options.recordFile.empty())
        fail("--shots needs --fixed-step or --record");
    if (!options.keys.empty() && !options.batch) fail("--keys needs --batch");
    if (!options.recordFile.empty() && options.benchmark)
        fail("--record and --benchmark cannot run together");
    bool capturing = !options.recordFile.empty() || options.benchmark;
    if (options.width != 0 && !capturing) fail("--size needs --record or --benchmark");
    if (options.until && !capturing) fail("--until needs --record or --benchmark");
    if (options.subFrames > 1 && !capturing && options.fixedStepMs == 0)
        fail("--motion-blur needs --record, --benchmark or --fixed-step");
    if (options.shutterGiven && options.subFrames == 1) fail("--shutter needs --motion-blur");
    bool segment = options.segment.kind != SegmentRequest::Kind::Whole;
    if ((segment || options.countFrames) && options.recordFile.empty())
        fail(std::string(segment ? "--frames and --part need" : "--count-frames needs") +
             " --record");
    if (options.loudness && (options.recordFile.empty() || segment))
        fail("--loudness needs --record of the sound (a segment has none)");
    if (segment && !options.recordFile.empty() &&
        options.recordFormat.container != RecordContainer::Mkv)
        fail("--frames and --part write a segment as .mkv, not '" + options.recordFile + "'");

    return options;
}

int keyCodeForName(const std::string& name) {
    if (name == "Escape") return kKeyEscape;
    if (name == "Enter") return kKeyEnter;
    if (name == "Space") return kKeySpace;
    if (name == "Left") return kKeyLeft;
    if (name == "Right") return kKeyRight;
    if (name == "Comma") return kKeyComma;
    if (name == "Period") return kKeyPeriod;
    if (name == "Home") return kKeyHome;
    if (name.size() == 1 && name[0] >= 'a' && name[0] <= 'z') return name[0] - 'a' + 'A';
    if (name.size() == 1 && name[0] >= 'A' && name[0] <= 'Z') return name[0];
    return -1;
}

std::string usageText() {
    return "Usage: film03 [OPTION]...\n"
           "FILM 03 by KORAL: a real-time 3D demo on the ZORX_OpenGL engine.\n"
           "Without options the configuration dialog opens and the demo plays.\n"
           "\n"
           "  --batch              no dialogs: the stored configuration is used, every message\n"
           "                       box is written to standard error and answered, the loading\n"
           "                       lines go to standard output and the gamma screen is\n"
           "                       confirmed after its first frame (or waits for a key\n"
           "                       --keys plans for it)\n"
           "  --answer yes|no      the answer batch mode gives to questions (default yes)\n"
           "  --fixed-step MS      the clock advances by exactly MS milliseconds per frame and\n"
           "                       the music is mixed offline in step with it (nothing is\n"
           "                       heard), so every run draws the same pictures\n"
           "  --shots LIST         with --fixed-step: PNG screenshots SEQ-MS.png in the working\n"
           "                       folder, each of the first frame at or after its point\n"
           "                       (again after a jump back of the player),\n"
           "                       e.g. gamma:0,first:30000,second:20000,end:4000\n"
           "  --keys LIST          with --batch: key presses at points of the timeline, each\n"
           "                       down for one frame, e.g. first:20000:Escape; keys are\n"
           "                       Escape, Enter, Space, Left, Right, Comma, Period, Home\n"
           "                       and the letters A to Z\n"
           "  --seek SEQ:MS        start at a point of the timeline (SEQ is gamma, first,\n"
           "                       second or end; first:50000, second:65000 and end:19999\n"
           "                       are the last points)\n"
           "  --record FILE.mp4    batch mode: render the three sequences (135 s) at a fixed\n"
           "                       step of D/N s into a video with its sound, through ffmpeg,\n"
           "                       BT.709 colours tagged, with the title, year, version and a\n"
           "                       chapter per sequence: .mp4, .mov or .mkv H.264 + AAC (the\n"
           "                       upload copy, about 80 MB at 1080p60), .webm VP9 + Opus;\n"
           "                       masters: .mkv --codec ffv1 (lossless RGB + FLAC), .mov\n"
           "                       --codec prores (ProRes 4444 + PCM, for editors), DIR/ (PNG\n"
           "                       frames, the sound as WAV, the chapter list); a progress line\n"
           "                       on standard error; it runs beside an open demo\n"
           "                       A name ending in .wav writes only the sound (its frames\n"
           "                       are drawn at 16x16 and not kept)\n"
           "  --frames A-B         with --record: only frames A to B-1 of the recording, the\n"
           "                       same pictures as in the whole one, without sound (a segment\n"
           "                       to join with others; .mkv keeps them joinable)\n"
           "  --part K/N           with --record: part K of N near-equal parts, as --frames\n"
           "  --count-frames       with --record: print the frames the recording has and its\n"
           "                       frame rate, and exit\n"
           "  --codec NAME         with --record: h264, vp9, ffv1, prores or png (default:\n"
           "                       the usual codec of the name's container)\n"
           "  --chroma 420|444     with --record of H.264 or VP9: colour for every second pixel\n"
           "                       (420, default, plays everywhere) or every pixel (444: sharp\n"
           "                       coloured text; High 4:4:4, not for browsers or hardware)\n"
           "  --fps N[/D]          frame rate of --record, e.g. 60 or 60000/1001 (default 30)\n"
           "  --size WxH           window size of --record or --benchmark, up to 16384x16384\n"
           "                       (default: the configured mode), e.g. 1280x720\n"
           "  --benchmark [FILE]   batch mode, vertical sync off, fixed step 1000/60 ms: run the\n"
           "                       timeline as fast as possible and write the loading time, frame\n"
           "                       times per sequence, peak memory, renderer and resolution as\n"
           "                       JSON (to FILE or standard output); the sound is mixed\n"
           "                       offline, no sound device is needed; a progress line and\n"
           "                       a summary on standard error. The 3D scenes are timed at\n"
           "                       the frame-time governor's scale (down to 0.5 on a\n"
           "                       software renderer): --scale 1 measures full resolution\n"
           "  --until SEQ:MS       with --record or --benchmark: end at a point of the timeline\n"
           "                       (the frames before it are kept), e.g. second:5000\n"
           "  --motion-blur N      with --record, --benchmark or --fixed-step: each frame is\n"
           "                       the mean of N sub-frames (1 to 256; 1: none) spread evenly\n"
           "                       over the shutter; the sound and the timeline keep to the\n"
           "                       frames; costs about N times the drawing\n"
           "  --shutter DEG        the shutter of --motion-blur: open from each frame's time for\n"
           "                       DEG/360 of the frame's step (1 to 360, default 180)\n"
           "  --loudness LUFS      with --record: one gain for the whole sound, so that it\n"
           "                       reaches LUFS (-70 to 0; -14 for upload sites, -23 for\n"
           "                       broadcast) with its true peak at or below -1 dBTP, or as\n"
           "                       near as that peak allows (said in a line); no compression\n"
           "                       or limiter. The progress line ends with the sound's\n"
           "                       integrated loudness and true peak either way\n"
           "  --picture-gamma      apply the calibrated gamma to the picture itself, as in a\n"
           "                       Wayland session, instead of the display's gamma ramp\n"
           "  --scale on|off|S     the frame-time governor: draw the 3D scenes at a lower\n"
           "                       resolution where frames miss the display's rate (on; the\n"
           "                       default on a software renderer, except with --fixed-step,\n"
           "                       --shots or --record), never (off), or always at scale S\n"
           "                       (0.5 to 1, in steps 1, 0.85, 0.7, 0.6, 0.5)\n"
           "  --help               show this help and exit\n"
           "  --version            show the version and exit\n"
           "\n"
           "Keys while the scenes play: Space pauses and resumes, Left and Right seek 5 s\n"
           "back and forward, Comma and Period step one frame back and forward while paused,\n"
           "Home starts the demo again, Escape ends the scene, S shows the statistics.\n"
           "\n"
           "Ctrl+C, SIGTERM or SIGHUP end the run as Escape ends each phase, after the usual\n"
           "shutdown (exit status 128 + the signal); a second one within 2 s ends it at once,\n"
           "a third one by the signal's default action.\n";
}

std::string_view programVersion() {
    return FILM03_VERSION;
}

std::string versionText() {
    return std::string("film03 (FILM 03 by KORAL) ") + FILM03_VERSION + "\nZORX_OpenGL engine\n";
}
