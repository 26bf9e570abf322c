// Recording: the encoder's and muxer's arguments, the temporary files, the progress line, the
// WAV header, the frame counts of the timeline at a fixed step, the offline sound's steps,
// child processes fed through a pipe, and the read-back through the pixel-pack buffers.
#include <gtest/gtest.h>
#include <GL/gl.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <numeric>

#include "app/capture.h"
#include "app/offline_sound.h"
#include "app/options.h"
#include "app/record.h"
#include "app/recording_files.h"
#include "platform/events.h"
#include "platform/gl/gl_strings.h"
#include "platform/system/process.h"
#include "render/frame_readback.h"
#include "sound/fsound.h"
#include "support/test_support.h"

namespace {

size_t indexOf(const std::vector<std::string>& list, const std::string& item) {
    return size_t(std::find(list.begin(), list.end(), item) - list.begin());
}

// The value after an option, or "" when the option is absent.
std::string valueOf(const std::vector<std::string>& list, const std::string& option) {
    size_t at = indexOf(list, option);
    return at + 1 < list.size() ? list[at + 1] : "";
}

} // namespace

TEST(RecordFiles, TemporaryNamesSitBesideTheVideoAndNeverTakeItsName) {
    RecordingFiles files = recordingFiles("out/run/film03.mp4");
    EXPECT_EQ(files.final, "out/run/film03.mp4");
    EXPECT_EQ(files.muxed, "out/run/film03.part.mp4"); // the container still follows the name
    EXPECT_EQ(files.video, "out/run/film03.video.part.nut");
    EXPECT_EQ(files.audio, "out/run/film03.audio.part.wav");
    EXPECT_EQ(files.metadata, "out/run/film03.meta.part.txt");
    EXPECT_EQ(files.log, "out/run/film03.ffmpeg.log");
    RecordingFiles bare = recordingFiles("clip");
    EXPECT_EQ(bare.muxed, "clip.part.mp4");
    EXPECT_EQ(bare.video, "clip.video.part.nut");
    RecordFormat vp9{RecordContainer::Webm, RecordVideo::Vp9, false};
    EXPECT_EQ(recordingFiles("a.webm", vp9).video, "a.video.part.mkv");
    // A folder is made under a name of its own and holds everything but the messages.
    RecordFormat folder{RecordContainer::Folder, RecordVideo::Png, false};
    for (const char* name : {"out/frames/", "out/frames//"}) {
        RecordingFiles frames = recordingFiles(name, folder);
        EXPECT_EQ(frames.final, "out/frames");
        EXPECT_EQ(frames.muxed, "out/frames.part");
        EXPECT_EQ(frames.video, "out/frames.part/%06d.png");
        EXPECT_EQ(frames.audio, "out/frames.part/frames.wav");
        EXPECT_EQ(frames.metadata, "out/frames.part/chapters.txt");
        EXPECT_EQ(frames.log, "out/frames.ffmpeg.log");
    }
}

// Each output's encoder and muxer: what the codec is given, the colour conversion and tags of
// the lossy codecs (none on the RGB masters), the sound's codec and the exact frame rate.
TEST(RecordFfmpeg, EncoderAndMuxerForEachOutput) {
    using C = RecordContainer;
    using V = RecordVideo;
    const std::string bt709 = "scale=out_color_matrix=bt709:out_range=tv";
    const struct {
        RecordFormat format;
        const char* codec;  // -c:v of the encoder
        const char* pixels; // the filter's last format
        bool tagged;        // BT.709 tags
        const char* audio;  // -c:a of the muxer ("" for a folder: no muxer)
        bool faststart;
    } table[] = {
        {{C::Mp4, V::H264, false}, "libx264", "format=yuv420p", true, "aac", true},
        {{C::Mov, V::H264, true}, "libx264", "format=yuv444p", true, "aac", true},
        {{C::Mkv, V::H264, false}, "libx264", "format=yuv420p", true, "aac", false},
        {{C::Webm, V::Vp9, false}, "libvpx-vp9", "format=yuv420p", true, "libopus", false},
        {{C::Mkv, V::Vp9, true}, "libvpx-vp9", "format=yuv444p", true, "libopus", false},
        {{C::Mov, V::ProRes, false}, "prores_ks", "format=yuv444p10le", true, "pcm_s16le", true},
        {{C::Mkv, V::Ffv1, false}, "ffv1", "format=bgr0", false, "flac", false},
        {{C::Folder, V::Png, false}, "png", "format=rgb24", false, "", false},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.codec + std::string(" ") + row.pixels);
        std::vector<std::string> args =
            encoderArguments("/usr/bin/ffmpeg", 1280, 720, {60000, 1001}, "v.part", row.format);
        EXPECT_EQ(args.front(), "/usr/bin/ffmpeg");
        EXPECT_EQ(args.back(), "v.part");
        EXPECT_EQ(valueOf(args, "-f"), "rawvideo"); // the first -f is the input's
        EXPECT_EQ(valueOf(args, "-pixel_format"), "rgba");
        EXPECT_EQ(valueOf(args, "-video_size"), "1280x720");
        EXPECT_EQ(valueOf(args, "-framerate"), "60000/1001");
        EXPECT_EQ(valueOf(args, "-i"), "pipe:0");
        EXPECT_EQ(valueOf(args, "-c:v"), row.codec);
        std::string filter = valueOf(args, "-vf");
        EXPECT_EQ(filter.rfind("vflip,", 0), 0u) << filter; // GL rows come bottom first
        EXPECT_NE(filter.find(row.pixels), std::string::npos) << filter;
        EXPECT_EQ(filter.find(bt709) != std::string::npos, row.tagged) << filter;
        for (const char* tag : {"-colorspace", "-color_primaries", "-color_trc"})
            EXPECT_EQ(valueOf(args, tag), row.tagged ? "bt709" : "") << tag;
        EXPECT_EQ(valueOf(args, "-color_range"), row.tagged ? "tv" : "");
        // Input options come before the input, output options after it.
        EXPECT_LT(indexOf(args, "-video_size"), indexOf(args, "-i"));
        EXPECT_GT(indexOf(args, "-c:v"), indexOf(args, "-i"));
        if (row.audio[0] == '\0') continue;

        std::vector<std::string> mux =
            muxArguments("ffmpeg", "v.nut", "a.wav", "m.txt", "out.part.mp4", row.format);
        EXPECT_EQ(mux.back(), "out.part.mp4");
        EXPECT_EQ(valueOf(mux, "-c:v"), "copy"); // the picture is not encoded twice
        EXPECT_EQ(valueOf(mux, "-c:a"), row.audio);
        EXPECT_LT(indexOf(mux, "v.nut"), indexOf(mux, "a.wav"));
        EXPECT_LT(indexOf(mux, "a.wav"), indexOf(mux, "m.txt"));
        EXPECT_EQ(mux[indexOf(mux, "0:v:0") - 1], "-map");
        EXPECT_EQ(mux[indexOf(mux, "1:a:0") - 1], "-map");
        EXPECT_EQ(valueOf(mux, "-map_metadata"), "2");
        EXPECT_EQ(valueOf(mux, "-map_chapters"), "2");
        EXPECT_EQ(valueOf(mux, "-movflags") == "+faststart", row.faststart);
    }
}

// The tags, and a chapter from each sequence's first frame to the next one's, timed in frames.
TEST(RecordFfmpeg, MetadataNamesTheDemoAndTimesTheChapters) {
    std::vector<RecordChapter> chapters = {{"First scene", 0},
                                           {"Second scene", 3001},
                                           {"Second scene=#;\\", 3001},
                                           {"End screen", 6902}};
    std::string text = recordingMetadata(2026, "1.2.3", chapters, 8102, {60000, 1001});
    EXPECT_EQ(text, ";FFMETADATA1\ntitle=FILM 03\nartist=KORAL\nauthor=KORAL\ndate=2026\n"
                    "comment=Recorded by film03 1.2.3\n"
                    "[CHAPTER]\nTIMEBASE=1001/60000\nSTART=0\nEND=3001\ntitle=First scene\n"
                    // A chapter without frames is left out; special characters are escaped.
                    "[CHAPTER]\nTIMEBASE=1001/60000\nSTART=3001\nEND=6902\n"
                    "title=Second scene\\=\\#\\;\\\\\n"
                    "[CHAPTER]\nTIMEBASE=1001/60000\nSTART=6902\nEND=8102\ntitle=End screen\n");
    EXPECT_EQ(recordingMetadata(2026, "v", {}, 0, {30, 1}),
              ";FFMETADATA1\ntitle=FILM 03\nartist=KORAL\nauthor=KORAL\ndate=2026\n"
              "comment=Recorded by film03 v\n");
}

// One line for recordings and benchmarks: the share, the frames, the point of the last frame
// and the time left (after the first frame).
TEST(CaptureProgress, PercentFramesPointAndTimeLeft) {
    const struct {
        const char* job;
        TimelinePoint at;
        uint64_t done, total;
        double elapsed;
        const char* line;
    } cases[] = {
        {"recording", {Sequence::First, 0}, 0, 4052, 0.0, "recording   0.0 %  frame 0/4052"},
        {"recording",
         {Sequence::First, 0},
         1,
         4052,
         0.5,
         "recording   0.0 %  frame 1/4052  first:0  2.0 frames/s  about 33:46 left"},
        {"recording",
         {Sequence::Second, 2733},
         1013,
         4052,
         30.0,
         "recording  25.0 %  frame 1013/4052  second:2733  33.8 frames/s  about 1:30 left"},
        {"benchmark",
         {Sequence::End, 19983},
         8102,
         8102,
         200.0,
         "benchmark 100.0 %  frame 8102/8102  end:19983  40.5 frames/s  about 0:00 left"},
        // More frames than expected (a longer run than the estimate) never shows over 100 %.
        {"recording",
         {Sequence::End, 5},
         10,
         5,
         1.0,
         "recording 100.0 %  frame 10/5  end:5  10.0 frames/s"},
        {"benchmark", {Sequence::First, 0}, 0, 0, 0.0, "benchmark   0.0 %  frame 0/0"},
        // The first frame counted starts the clock: no rate before time has passed.
        {"recording",
         {Sequence::End, 0},
         1,
         5,
         0.0,
         "recording  20.0 %  frame 1/5  end:0  about 0:00 left"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(progressText(c.job, c.at, c.done, c.total, c.elapsed), c.line) << c.line;
}

TEST(RecordSound, WavHeaderDescribes16BitPcm) {
    std::vector<uint8_t> header = wavHeader(44100, 2, 1000);
    ASSERT_EQ(header.size(), 44u);
    auto u32 = [&header](size_t at) {
        return uint32_t(header[at]) | uint32_t(header[at + 1]) << 8 |
               uint32_t(header[at + 2]) << 16 | uint32_t(header[at + 3]) << 24;
    };
    auto u16 = [&header](size_t at) {
        return uint32_t(header[at]) | uint32_t(header[at + 1]) << 8;
    };
    EXPECT_EQ(std::memcmp(header.data(), "RIFF", 4), 0);
    EXPECT_EQ(u32(4), 1036u);
    EXPECT_EQ(std::memcmp(header.data() + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(u16(20), 1u); // PCM
    EXPECT_EQ(u16(22), 2u);
    EXPECT_EQ(u32(24), 44100u);
    EXPECT_EQ(u32(28), 176400u);
    EXPECT_EQ(u16(32), 4u);
    EXPECT_EQ(u16(34), 16u);
    EXPECT_EQ(std::memcmp(header.data() + 36, "data", 4), 0);
    EXPECT_EQ(u32(40), 1000u);
}

// The scenes draw while t <= 50000 and t <= 65000 (the end time included), the end screen
// while t < 20000; frame k shows floor(k × step).
TEST(RecordTimeline, FrameCountsAtAFixedStep) {
    EXPECT_EQ(sequenceFrames(Sequence::First, 0, 1000, 30), 1501u);
    EXPECT_EQ(sequenceFrames(Sequence::Second, 0, 1000, 30), 1951u);
    EXPECT_EQ(sequenceFrames(Sequence::End, 0, 1000, 30), 600u);
    EXPECT_EQ(timelineFrames(Sequence::First, 0, 1000, 30), 4052u);
    EXPECT_EQ(sequenceFrames(Sequence::First, 0, 1000, 60), 3001u);
    EXPECT_EQ(sequenceFrames(Sequence::Second, 0, 1000, 60), 3901u);
    EXPECT_EQ(sequenceFrames(Sequence::End, 0, 1000, 60), 1200u);
    EXPECT_EQ(sequenceFrames(Sequence::First, 0, 40, 1), 1251u);
    EXPECT_EQ(sequenceFrames(Sequence::End, 0, 40, 1), 500u);
    // A start point inside a sequence; one past its end still draws the frame it starts on.
    EXPECT_EQ(sequenceFrames(Sequence::First, 40000, 1000, 30), 301u);
    EXPECT_EQ(timelineFrames(Sequence::Second, 58000, 1000, 30), 211u + 600u);
    EXPECT_EQ(sequenceFrames(Sequence::End, 25000, 1000, 30), 1u);
    EXPECT_EQ(sequenceFrames(Sequence::Gamma, 0, 1000, 30), 0u);
    // Brute force over odd steps: the count is the number of k with floor(k × s / d) <= end.
    for (uint32_t divisor : {1u, 7u, 24u, 30u, 60u, 144u}) {
        for (uint32_t start : {0u, 1u, 33u, 49999u}) {
            uint64_t count = 0;
            while (start + count * 1000 / divisor <= 50000) count++;
            EXPECT_EQ(sequenceFrames(Sequence::First, start, 1000, divisor), count)
                << divisor << " " << start;
        }
    }
}

// --until: the frames before the point, across sequences; the point ends the run.
TEST(RecordTimeline, UntilEndsTheRunBeforeItsPoint) {
    Sequence second = Sequence::Second;
    Sequence first = Sequence::First;
    EXPECT_EQ(timelineFrames(Sequence::First, 40000, 1000, 30, &second, 5000), 301u + 150u);
    EXPECT_EQ(timelineFrames(Sequence::First, 40000, 1000, 30, &first, 41000), 30u);
    EXPECT_EQ(timelineFrames(Sequence::First, 40000, 1000, 30, &first, 40000), 0u);
    Sequence end = Sequence::End;
    EXPECT_EQ(timelineFrames(Sequence::First, 0, 1000, 30, &end, 90000), 4052u); // past the end
    EXPECT_EQ(framesUpTo(0, 0, 1000, 30), 1u);
    EXPECT_EQ(framesUpTo(0, 33, 1000, 30), 2u);
    EXPECT_EQ(framesUpTo(0, 32, 1000, 30), 1u);

    Options options = parseOptions({"--record", "x.mp4", "--until", "second:5000"});
    ASSERT_TRUE(options.error.empty()) << options.error;
    timelineState = TimelineState{};
    setCaptureEnd(resolveRunPlan(options));
    EXPECT_FALSE(captureEnded(Sequence::First, 50000));
    EXPECT_FALSE(captureEnded(Sequence::Second, 4999));
    EXPECT_FALSE(timelineEnded());
    EXPECT_TRUE(captureEnded(Sequence::Second, 5000));
    EXPECT_TRUE(timelineEnded()) << "the point ends the run itself";
    EXPECT_TRUE(captureEnded(Sequence::End, 0));
    EXPECT_TRUE(captureEnded(Sequence::First, 0)); // once reached, the run is over
    EXPECT_TRUE(captureEndReached());
    timelineState = TimelineState{};
    setCaptureEnd(resolveRunPlan(parseOptions({"--record", "x.mp4"})));
    EXPECT_FALSE(captureEnded(Sequence::End, 19999));
    EXPECT_FALSE(timelineEnded());
}

// Picture and sound in sync by construction: after k steps exactly floor(k × step × rate)
// sample frames, whatever the rounding of each step.
TEST(RecordSound, OfflineStepsNeverDrift) {
    EXPECT_EQ(mixFramesBefore(1, 44100, 1000, 30), 1470u);
    EXPECT_EQ(mixFramesBefore(30, 44100, 1000, 30), 44100u);
    EXPECT_EQ(mixFramesBefore(1, 11025, 1000, 30), 367u);
    EXPECT_EQ(mixFramesBefore(2, 11025, 1000, 30), 735u);
    EXPECT_EQ(mixFramesBefore(25, 22050, 40, 1), 22050u);
    EXPECT_EQ(mixFramesBefore(4052, 44100, 1000, 30), 5956440u);
    // Ten hours at 1000/7 ms a step and 48 kHz: no overflow, no drift.
    uint64_t steps = 7ull * 36000;
    EXPECT_EQ(mixFramesBefore(steps, 48000, 1000, 7), 48000ull * 36000);
    EXPECT_EQ(mixFramesBefore(0, 44100, 1000, 30), 0u);
    EXPECT_EQ(mixFramesBefore(3, 44100, 1000, 0), 132300u); // a zero divisor counts as 1
}

TEST(RecordSound, OfflineLayerMixesOneStepPerFrame) {
    startOfflineSound(11025, 1000, 30);
    uint64_t total = 0;
    for (int frame = 0; frame < 60; ++frame) {
        int frames = advanceOfflineSound();
        EXPECT_TRUE(frames == 367 || frames == 368) << frames;
        EXPECT_EQ(offlineSoundState.mix.size(), size_t(frames) * 2);
        // Nothing plays: silence.
        EXPECT_TRUE(std::all_of(offlineSoundState.mix.begin(), offlineSoundState.mix.end(),
                                [](int16_t sample) { return sample == 0; }));
        total += uint64_t(frames);
    }
    EXPECT_EQ(total, 22050u);
    FSOUND_Close();
    EXPECT_EQ(advanceOfflineSound(), 0); // the layer is gone: nothing more is mixed
    offlineSoundState = OfflineSoundState{};
}

TEST(RecordProcess, ChildReadsThePipeAndReportsItsExitCode) {
    TempDir dir;
    EXPECT_FALSE(findProgram("sh").empty());
    EXPECT_EQ(findProgram("no-such-program-film03"), "");
    EXPECT_EQ(findProgram(""), "");
    EXPECT_EQ(findProgram("/bin/sh"), "/bin/sh");
    EXPECT_EQ(findProgram(dir.path), ""); // a folder is not a program

    ChildProcess child;
    std::string out = dir.file("out.txt");
    ASSERT_TRUE(startChild({"/bin/sh", "-c", "cat > '" + out + "'; echo note >&2; exit 3"},
                           dir.file("log.txt"), true, child));
    std::string big(3 << 20, 'x'); // more than any pipe holds
    big[0] = 'A';
    big.back() = 'Z';
    EXPECT_TRUE(writeToChild(child, big.data(), big.size()));
    EXPECT_EQ(finishChild(child), 3);
    std::vector<unsigned char> written = readWholeFile(out);
    ASSERT_EQ(written.size(), big.size());
    EXPECT_EQ(written.front(), 'A');
    EXPECT_EQ(written.back(), 'Z');
    std::vector<unsigned char> log = readWholeFile(dir.file("log.txt"));
    EXPECT_EQ(std::string(log.begin(), log.end()), "note\n");
}

TEST(RecordProcess, AChildThatStopsReadingFailsTheWriteWithoutEndingUs) {
    TempDir dir;
    ChildProcess child;
    ASSERT_TRUE(startChild({"/bin/sh", "-c", "exit 1"}, dir.file("log.txt"), true, child));
    std::string frame(4 << 20, '\0');
    EXPECT_FALSE(writeToChild(child, frame.data(), frame.size())); // SIGPIPE is ignored
    EXPECT_EQ(finishChild(child), 1);

    ASSERT_TRUE(startChild({"/bin/sh", "-c", "sleep 30"}, dir.file("log.txt"), true, child));
    killChild(child);
    EXPECT_EQ(child.pid, -1);
    EXPECT_FALSE(startChild({dir.file("missing")}, dir.file("log.txt"), false, child));
    EXPECT_FALSE(startChild({}, dir.file("log.txt"), false, child));
}

// Two buffers take turns: each call queues the frame just drawn and hands back the one before;
// rows come bottom first, as GL reads them.
TEST(RecordReadback, FramesComeBackOneLateAndInOrder) {
    HiddenGLWindow window(64, 48);
    if (!window.ok) GTEST_SKIP() << "no display";
    captureGLStrings();
    FrameReadback readback;
    ASSERT_TRUE(startReadback(readback, 64, 48));
    EXPECT_EQ(frameBytes(readback), 64u * 48u * 4u);
    auto draw = [&window](int shade) {
        glClearColor(shade / 255.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        // The bottom row marked green: it must come first.
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, 0, 64, 1);
        glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
    };
    draw(10);
    EXPECT_EQ(readBackFrame(readback), nullptr);
    for (int shade : {20, 30, 40}) {
        draw(shade);
        const uint8_t* previous = readBackFrame(readback);
        ASSERT_NE(previous, nullptr);
        EXPECT_EQ(previous[0], 0); // bottom row first: green
        EXPECT_EQ(previous[1], 255);
        size_t top = size_t(47) * 64 * 4;
        EXPECT_EQ(previous[top], shade - 10) << shade;
        EXPECT_EQ(previous[top + 3], 255);
        releaseReadFrame(readback);
    }
    const uint8_t* last = takeLastFrame(readback);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last[size_t(47) * 64 * 4], 40);
    stopReadback(readback);
    EXPECT_EQ(readback.buffers[0], 0u);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}
