// The sound layer: decoding, mixing, the stream clock, error codes and the program's reports.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "sound/encoders.h"
#include "sound/fsound.h"
#include "sound/sound_startup.h"
#include "support/test_support.h"

namespace {

// A sine of `seconds` at `rate`, stereo, peak `amplitude`.
std::vector<int16_t> sine(double seconds, int rate, double amplitude, double hertz = 440.0) {
    std::vector<int16_t> pcm;
    int frames = int(seconds * rate);
    for (int i = 0; i < frames; ++i) {
        auto value = int16_t(std::lround(amplitude * std::sin(2 * M_PI * hertz * i / rate)));
        pcm.push_back(value);
        pcm.push_back(value);
    }
    return pcm;
}

int peak(const std::vector<int16_t>& pcm, size_t from = 0, size_t to = SIZE_MAX) {
    int highest = 0;
    for (size_t i = from; i < std::min(to, pcm.size()); ++i)
        highest = std::max(highest, std::abs(int(pcm[i])));
    return highest;
}

// Renders until nothing plays any more (or maxFrames) and returns the sounding frames.
std::vector<int16_t> renderToEnd(int maxFrames = 44100 * 10) {
    std::vector<int16_t> out, block(2048 * 2);
    while (soundBusyChannels() > 0 && int(out.size() / 2) < maxFrames) {
        int sounding = soundRenderFrames(block.data(), 2048);
        out.insert(out.end(), block.begin(), block.begin() + std::max(sounding, 0) * 2);
    }
    return out;
}

struct SoundTest : testing::Test {
    void SetUp() override { FSOUND_Close(); }
    void TearDown() override { FSOUND_Close(); }
};

std::vector<uint8_t> sineOgg(double seconds, int rate, double amplitude) {
    return encodeVorbis(sine(seconds, rate, amplitude), 2, rate);
}

std::vector<uint8_t> sineMp3(double seconds, int rate, double amplitude) {
    return encodeMp3(sine(seconds, rate, amplitude), 2, rate);
}

} // namespace

TEST_F(SoundTest, VolumeScalesTheSampleAndTheStream) {
    std::vector<uint8_t> mp3 = sineMp3(1.0, 44100, 16000);
    std::vector<uint8_t> ogg = sineOgg(1.0, 44100, 16000);
    ASSERT_FALSE(mp3.empty());
    ASSERT_FALSE(ogg.empty());
    int peaks[2][2] = {};
    for (int v = 0; v < 2; ++v) {
        for (int kind = 0; kind < 2; ++kind) {
            FSOUND_Close();
            ASSERT_TRUE(soundInitOffline(44100));
            ASSERT_TRUE(FSOUND_SetVolume(FSOUND_ALL, v == 0 ? 255 : 128));
            if (kind == 0) {
                FSOUND_SAMPLE* sample = loadEffectSample(mp3.data(), uint32_t(mp3.size()));
                ASSERT_NE(sample, nullptr) << FSOUND_GetError();
                EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, sample), 0);
            } else {
                FSOUND_STREAM* stream = openMusicStream(ogg.data(), uint32_t(ogg.size()));
                EXPECT_EQ(FSOUND_Stream_Play(FSOUND_FREE, stream), 0);
            }
            std::vector<int16_t> out = renderToEnd();
            EXPECT_NEAR(double(out.size() / 2), 44100.0, 44100 * 0.01);
            peaks[v][kind] = peak(out, 4410 * 2, 39690 * 2);
        }
    }
    for (int kind = 0; kind < 2; ++kind) {
        EXPECT_NEAR(peaks[0][kind], 16000, 800) << kind;
        EXPECT_NEAR(double(peaks[1][kind]) / peaks[0][kind], 128.0 / 255.0, 0.01) << kind;
    }
}

TEST_F(SoundTest, PauseStopsTheOutputAndTheClock) {
    std::vector<uint8_t> ogg = sineOgg(2.0, 44100, 12000);
    ASSERT_TRUE(soundInitOffline(44100));
    FSOUND_STREAM* stream = openMusicStream(ogg.data(), uint32_t(ogg.size()));
    int channel = FSOUND_Stream_Play(FSOUND_FREE, stream);
    std::vector<int16_t> block(4410 * 2);
    soundRenderFrames(block.data(), 4410);
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 100);

    ASSERT_TRUE(FSOUND_SetPaused(FSOUND_ALL, true));
    EXPECT_EQ(soundRenderFrames(block.data(), 4410), 0);
    EXPECT_EQ(peak(block), 0);
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 100);

    ASSERT_TRUE(FSOUND_SetPaused(channel, false));
    EXPECT_EQ(soundRenderFrames(block.data(), 4410), 4410);
    EXPECT_GT(peak(block), 10000);
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 200);
}

TEST_F(SoundTest, SettingTheStreamTimeMovesPlayAndClock) {
    // One quiet second, then one loud second.
    std::vector<int16_t> pcm = sine(1.0, 44100, 3000);
    std::vector<int16_t> loud = sine(1.0, 44100, 12000);
    pcm.insert(pcm.end(), loud.begin(), loud.end());
    std::vector<uint8_t> ogg = encodeVorbis(pcm, 2, 44100);
    for (int rate : {44100, 22050}) {
        FSOUND_Close();
        ASSERT_TRUE(soundInitOffline(rate));
        FSOUND_STREAM* stream = openMusicStream(ogg.data(), uint32_t(ogg.size()));
        // Before it plays, and while it plays.
        ASSERT_TRUE(FSOUND_Stream_SetTime(stream, 1500));
        EXPECT_EQ(FSOUND_Stream_GetTime(stream), 1500);
        ASSERT_GE(FSOUND_Stream_Play(FSOUND_FREE, stream), 0);
        std::vector<int16_t> block(size_t(rate / 10) * 2);
        EXPECT_EQ(soundRenderFrames(block.data(), rate / 10), rate / 10);
        EXPECT_GT(peak(block), 10000) << rate;
        EXPECT_EQ(FSOUND_Stream_GetTime(stream), 1600) << rate;
        ASSERT_TRUE(FSOUND_Stream_SetTime(stream, 200));
        soundRenderFrames(block.data(), rate / 10);
        EXPECT_LT(peak(block), 4000) << rate;
        EXPECT_EQ(FSOUND_Stream_GetTime(stream), 300) << rate;
        for (int ms : {1, 7, 999}) {
            ASSERT_TRUE(FSOUND_Stream_SetTime(stream, ms));
            EXPECT_EQ(FSOUND_Stream_GetTime(stream), ms) << rate;
        }
        // Past the end: nothing more sounds and the channel comes free.
        ASSERT_TRUE(FSOUND_Stream_SetTime(stream, 5000));
        EXPECT_EQ(FSOUND_Stream_GetTime(stream), 5000);
        EXPECT_EQ(soundRenderFrames(block.data(), rate / 10), 0);
        EXPECT_EQ(soundBusyChannels(), 0);
        // A negative time and an unknown stream are refused.
        EXPECT_FALSE(FSOUND_Stream_SetTime(stream, -1));
        EXPECT_EQ(FSOUND_GetError(), 14);
        EXPECT_FALSE(FSOUND_Stream_SetTime(nullptr, 0));
        EXPECT_EQ(FSOUND_Stream_GetTime(stream), 5000);
    }
    FSOUND_Close();
    EXPECT_FALSE(FSOUND_Stream_SetTime(nullptr, 0));
    EXPECT_EQ(FSOUND_GetError(), 2);
}

TEST_F(SoundTest, TwoLoudChannelsSaturateInsteadOfWrapping) {
    std::vector<uint8_t> mp3 = sineMp3(0.5, 44100, 30000);
    ASSERT_TRUE(soundInitOffline(44100));
    FSOUND_SAMPLE* sample = loadEffectSample(mp3.data(), uint32_t(mp3.size()));
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, sample), 0);
    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, sample), 1);
    std::vector<int16_t> out = renderToEnd();
    // Where one sine is high the sum is clipped to full scale, never flipped to the other sign.
    int clippedHigh = 0, clippedLow = 0;
    for (size_t i = 2000; i + 2000 < out.size(); i += 2) {
        clippedHigh += out[i] == 32767;
        clippedLow += out[i] == -32768;
    }
    EXPECT_GT(clippedHigh, 1000);
    EXPECT_GT(clippedLow, 1000);
    for (size_t i = 2000; i + 2002 < out.size(); i += 2)
        ASSERT_LT(std::abs(out[i] - out[i + 2]), 20000) << "wrapped at " << i;
}

TEST_F(SoundTest, StreamClockFollowsTheMixedFramesAtEveryRate) {
    std::vector<uint8_t> ogg = sineOgg(1.5, 44100, 8000);
    for (int rate : {44100, 22050, 11025}) {
        FSOUND_Close();
        ASSERT_TRUE(soundInitOffline(rate));
        FSOUND_STREAM* stream = openMusicStream(ogg.data(), uint32_t(ogg.size()));
        EXPECT_EQ(FSOUND_Stream_GetTime(stream), 0);
        FSOUND_Stream_Play(FSOUND_FREE, stream);
        std::vector<int16_t> second(size_t(rate) * 2);
        EXPECT_EQ(soundRenderFrames(second.data(), rate), rate);
        EXPECT_NEAR(FSOUND_Stream_GetTime(stream), 1000, 1) << rate;
        EXPECT_GT(peak(second), 7000) << rate;

        std::vector<int16_t> rest = renderToEnd();
        double duration = 1000.0 + 1000.0 * double(rest.size() / 2) / rate;
        EXPECT_NEAR(duration, 1500.0, 10.0) << rate;
        EXPECT_NEAR(FSOUND_Stream_GetTime(stream), 1500, 10) << rate;

        // Playing a stream that ran to its end starts it again; stopping rewinds it.
        ASSERT_EQ(FSOUND_Stream_Play(FSOUND_FREE, stream), 0);
        EXPECT_EQ(FSOUND_Stream_GetTime(stream), 0);
        EXPECT_EQ(soundRenderFrames(second.data(), rate / 2), rate / 2);
        EXPECT_NEAR(FSOUND_Stream_GetTime(stream), 500, 1) << rate;
        EXPECT_TRUE(FSOUND_Stream_Stop(stream));
        EXPECT_EQ(FSOUND_Stream_GetTime(stream), 0);
        EXPECT_TRUE(FSOUND_Stream_Stop(stream)); // stopping a stopped stream is harmless
    }
}

TEST_F(SoundTest, MonoAndOtherRatesComeOutAsStereoAtTheMixRate) {
    std::vector<int16_t> mono;
    for (int i = 0; i < 22050; ++i)
        mono.push_back(int16_t(9000 * std::sin(2 * M_PI * 300 * i / 22050.0)));
    std::vector<uint8_t> ogg = encodeVorbis(mono, 1, 22050);
    std::vector<uint8_t> mp3 = encodeMp3(mono, 1, 22050);
    ASSERT_TRUE(soundInitOffline(44100));
    FSOUND_STREAM* stream = openMusicStream(ogg.data(), uint32_t(ogg.size()));
    FSOUND_SAMPLE* sample = loadEffectSample(mp3.data(), uint32_t(mp3.size()));
    ASSERT_NE(sample, nullptr) << FSOUND_GetError();
    FSOUND_Stream_Play(FSOUND_FREE, stream);
    std::vector<int16_t> out = renderToEnd();
    EXPECT_NEAR(double(out.size() / 2), 44100.0, 441.0);
    for (size_t i = 0; i < out.size(); i += 2) ASSERT_EQ(out[i], out[i + 1]);
    EXPECT_NEAR(peak(out), 9000, 500);
    FSOUND_PlaySound(FSOUND_FREE, sample);
    out = renderToEnd();
    EXPECT_NEAR(double(out.size() / 2), 44100.0, 441.0);
    EXPECT_NEAR(peak(out), 9000, 600);
}

TEST_F(SoundTest, GoingDownInRateKeepsHighTonesFromFoldingBack) {
    // 9 kHz is beyond what 11025 Hz can carry; taking every fourth frame would turn it into
    // a loud 2025 Hz tone.
    std::vector<uint8_t> ogg = encodeVorbis(sine(0.5, 44100, 12000, 9000.0), 2, 44100, 0.9f);
    ASSERT_TRUE(soundInitOffline(11025));
    FSOUND_Stream_Play(FSOUND_FREE, openMusicStream(ogg.data(), uint32_t(ogg.size())));
    std::vector<int16_t> out = renderToEnd();
    EXPECT_NEAR(double(out.size() / 2), 5512.0, 60.0);
    EXPECT_LT(peak(out, 400, out.size() - 400), 12000 * 0.4);
}

// Full-scale jumps push the interpolation's products past 32 bits: exact values here, and no
// overflow in the sanitizer build.
TEST(Resampler, FullScaleJumpsInterpolateExactly) {
    std::vector<int16_t> square;
    for (int i = 0; i < 64; ++i) {
        int16_t value = i % 2 == 0 ? 32767 : -32768;
        square.insert(square.end(), {value, value});
    }
    Resampler resampler = makeResampler(44100, 48000);
    std::vector<int16_t> out(80 * 2);
    int consumed = 0;
    int made = resampleFrames(resampler, square.data(), 64, true, out.data(), 80, &consumed);
    EXPECT_EQ(consumed, 64);
    EXPECT_NEAR(made, 64 * 48000 / 44100, 1);
    for (int i = 0; i + 1 < made; ++i) {
        double position = i * 44100.0 / 48000.0;
        int index = int(position);
        double a = square[size_t(index) * 2], b = square[size_t(index) * 2 + 2];
        ASSERT_NEAR(out[size_t(i) * 2], a + (b - a) * (position - index), 3.0) << i;
    }
    EXPECT_EQ(out[0], 32767);
}

TEST_F(SoundTest, DamagedImagesGiveNullWithAnErrorCode) {
    std::vector<uint8_t> ogg = sineOgg(1.0, 44100, 8000);
    std::vector<uint8_t> mp3 = sineMp3(1.0, 44100, 8000);
    std::vector<uint8_t> garbage(5000);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 7919 >> 3);
    ASSERT_TRUE(soundInitOffline(22050));
    auto openStream = [](const std::vector<uint8_t>& image, size_t size) {
        return FSOUND_Stream_Open(image.data(), FSOUND_LOADMEMORY, 0, int(size));
    };
    auto loadSample = [](const std::vector<uint8_t>& image, size_t size) {
        return FSOUND_Sample_Load(FSOUND_FREE, image.data(), 0x8151, 0, int(size));
    };
    for (size_t size : {size_t(0), size_t(20), ogg.size() / 2, ogg.size() - 1}) {
        EXPECT_EQ(openStream(ogg, size), nullptr) << size;
        EXPECT_TRUE(FSOUND_GetError() == 10 || FSOUND_GetError() == 11) << size;
    }
    EXPECT_EQ(openStream(garbage, garbage.size()), nullptr);
    EXPECT_EQ(FSOUND_GetError(), 10);
    EXPECT_EQ(openStream(mp3, mp3.size()), nullptr);
    EXPECT_EQ(FSOUND_GetError(), 10);

    for (size_t size : {size_t(0), size_t(20), mp3.size() / 2}) {
        EXPECT_EQ(loadSample(mp3, size), nullptr) << size;
        EXPECT_TRUE(FSOUND_GetError() == 10 || FSOUND_GetError() == 11) << size;
    }
    EXPECT_EQ(loadSample(garbage, garbage.size()), nullptr);
    EXPECT_EQ(FSOUND_GetError(), 10);
    // The whole images still open after all that.
    EXPECT_NE(openStream(ogg, ogg.size()), nullptr);
    EXPECT_NE(loadSample(mp3, mp3.size()), nullptr);
}

// Bytes behind the last page (padding, a tag another program appended) are no Ogg data: the
// stream opens and plays its whole length. A cut image is still refused, whatever follows.
TEST_F(SoundTest, BytesAfterTheLastOggPageAreIgnored) {
    const std::vector<uint8_t> ogg = sineOgg(0.5, 44100, 8000), padding(1000);
    const std::string tag = "TAG appended by another program";
    const std::vector<uint8_t> cut(ogg.begin(), ogg.end() - 100);
    const struct {
        const std::vector<uint8_t>& image;
        std::vector<uint8_t> tail;
        bool opens;
    } cases[] = {
        {ogg, padding, true}, {ogg, {tag.begin(), tag.end()}, true}, {cut, padding, false}};
    for (const auto& c : cases) {
        std::vector<uint8_t> image = c.image;
        image.insert(image.end(), c.tail.begin(), c.tail.end());
        ASSERT_TRUE(soundInitOffline(44100));
        FSOUND_STREAM* stream =
            FSOUND_Stream_Open(image.data(), FSOUND_LOADMEMORY, 0, int(image.size()));
        EXPECT_EQ(stream != nullptr, c.opens) << c.tail.size();
        if (stream != nullptr && FSOUND_Stream_Play(FSOUND_FREE, stream) == 0) {
            EXPECT_NEAR(double(renderToEnd().size() / 2), 22050.0, 22050 * 0.01);
        }
        FSOUND_Close();
    }
}

TEST_F(SoundTest, CallsOutOfOrderFailWithTheirCodes) {
    std::vector<uint8_t> ogg = sineOgg(0.2, 44100, 8000);
    EXPECT_EQ(FSOUND_GetError(), 0);
    EXPECT_EQ(FSOUND_Stream_Open(ogg.data(), FSOUND_LOADMEMORY, 0, int(ogg.size())), nullptr);
    EXPECT_EQ(FSOUND_GetError(), 2);
    EXPECT_FALSE(FSOUND_SetVolume(FSOUND_ALL, 255));
    EXPECT_FALSE(FSOUND_SetPaused(FSOUND_ALL, true));
    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, nullptr), -1);
    EXPECT_EQ(soundRenderFrames(nullptr, 0), -1);
    EXPECT_EQ(FSOUND_GetError(), 2);

    ASSERT_TRUE(soundInitOffline(44100));
    EXPECT_FALSE(FSOUND_SetOutput(0));
    EXPECT_EQ(FSOUND_GetError(), 1);
    FSOUND_Close();
    EXPECT_EQ(FSOUND_GetError(), 0); // closing returns to the start state
    ASSERT_TRUE(soundInitOffline(44100));
    EXPECT_FALSE(FSOUND_SetDriver(0));
    EXPECT_FALSE(FSOUND_SetHWND(nullptr));
    EXPECT_FALSE(FSOUND_Init(44100, 64, 0));
    EXPECT_EQ(FSOUND_GetError(), 1);

    EXPECT_FALSE(FSOUND_SetVolume(64, 10));
    EXPECT_EQ(FSOUND_GetError(), 14);
    EXPECT_FALSE(FSOUND_SetVolume(0, 256));
    EXPECT_EQ(FSOUND_Stream_Play(FSOUND_FREE, reinterpret_cast<FSOUND_STREAM*>(&ogg)), -1);
    EXPECT_EQ(FSOUND_GetError(), 14);
    EXPECT_FALSE(FSOUND_Stream_Stop(nullptr));
    EXPECT_EQ(FSOUND_Stream_GetTime(nullptr), 0);

    // The 65th sound finds no free channel.
    FSOUND_STREAM* stream = FSOUND_Stream_Open(ogg.data(), FSOUND_LOADMEMORY, 0, int(ogg.size()));
    for (int i = 0; i < kMixChannels; ++i) ASSERT_TRUE(FSOUND_StopSound(i));
    std::vector<FSOUND_STREAM*> streams;
    for (int i = 0; i < kMixChannels; ++i) {
        streams.push_back(FSOUND_Stream_Open(ogg.data(), FSOUND_LOADMEMORY, 0, int(ogg.size())));
        ASSERT_EQ(FSOUND_Stream_Play(FSOUND_FREE, streams.back()), i);
    }
    EXPECT_EQ(FSOUND_Stream_Play(FSOUND_FREE, stream), -1);
    EXPECT_EQ(FSOUND_GetError(), 16);
}

TEST_F(SoundTest, ChannelVolumeCarriesToTheNextSoundAndResetsWhenItStops) {
    std::vector<uint8_t> mp3 = sineMp3(0.3, 44100, 16000);
    ASSERT_TRUE(soundInitOffline(44100));
    FSOUND_SAMPLE* sample = loadEffectSample(mp3.data(), uint32_t(mp3.size()));
    // The first scene's order: all channels full, the music channel half, then play.
    FSOUND_SetVolume(FSOUND_ALL, 255);
    FSOUND_SetVolume(0, kMusicVolume);
    ASSERT_EQ(playEffect(sample), 0);
    int half = peak(renderToEnd(), 2000);
    // Channel 0 went back to full volume when its sound ended.
    ASSERT_EQ(playEffect(sample), 0);
    int full = peak(renderToEnd(), 2000);
    EXPECT_NEAR(double(half) / full, 128.0 / 255.0, 0.01);
}

TEST_F(SoundTest, AnEffectPlayedFromAPointIsTheWholeEffectFromThere) {
    for (int rate : {44100, 22050}) {
        std::vector<uint8_t> mp3 = sineMp3(0.4, rate, 16000);
        ASSERT_TRUE(soundInitOffline(rate));
        FSOUND_SAMPLE* sample = loadEffectSample(mp3.data(), uint32_t(mp3.size()));
        ASSERT_NE(sample, nullptr);
        ASSERT_EQ(playEffect(sample), 0);
        const std::vector<int16_t> whole = renderToEnd();
        const uint32_t lengthMs = uint32_t(uint64_t(whole.size() / 2) * 1000 / uint32_t(rate));
        // From the start, inside, a point that falls between two frames, the last whole
        // millisecond, and the end itself and past it (nothing plays).
        for (uint32_t fromMs : {0u, 1u, 3u, 250u, lengthMs - 1, lengthMs, lengthMs + 500}) {
            SCOPED_TRACE(testing::Message() << rate << " Hz from " << fromMs << " ms");
            size_t first = size_t(uint64_t(fromMs) * uint32_t(rate) / 1000) * 2;
            int channel = playEffect(sample, fromMs);
            if (first >= whole.size()) {
                EXPECT_EQ(channel, -1);
                EXPECT_EQ(soundBusyChannels(), 0);
                continue;
            }
            ASSERT_EQ(channel, 0);
            std::vector<int16_t> rest = renderToEnd();
            ASSERT_EQ(rest.size(), whole.size() - first);
            EXPECT_TRUE(std::equal(rest.begin(), rest.end(), whole.begin() + long(first)));
        }
        EXPECT_FALSE(FSOUND_SetCurrentPosition(1, 0)); // nothing on the channel
        EXPECT_FALSE(FSOUND_SetCurrentPosition(64, 0));
        FSOUND_Close();
    }
}

TEST(SoundErrors, TextsAndComposedReports) {
    EXPECT_STREQ(soundErrorText(0), "No errors");
    EXPECT_STREQ(soundErrorText(1),
                 "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first");
    EXPECT_STREQ(soundErrorText(6), "Soundcard does not support the features needed for this "
                                    "soundsystem (16bit stereo output)");
    EXPECT_STREQ(soundErrorText(10), "Unknown file format");
    EXPECT_STREQ(soundErrorText(18), "Required Mediaplayer codec is not installed");
    EXPECT_STREQ(soundErrorText(19), "Unknown error");
    EXPECT_STREQ(soundErrorText(-1), "Unknown error");

    FSOUND_Close();
    FSOUND_Stream_Open(nullptr, FSOUND_LOADMEMORY, 0, 0);
    EXPECT_EQ(soundFailureText(kSoundLoadFailed),
              "Loading sound file failed !\n\nPOSSIBLE reasons :\n- A sound file is missing\n- "
              "A sound file is write-protected or blocked\n\nFMOD error message :\nThis "
              "command failed because FSOUND_Init was not called");
}

TEST(SoundErrorsDeathTest, FatalReports) {
    failureState.batch = true;
    EXPECT_EXIT(
        {
            soundInitOffline(44100);
            startSoundSystem(0);
        },
        testing::ExitedWithCode(1),
        "fatal\tFMOD - Sound System - ERROR\tFMOD initiation failed !\\\\n\\\\nPOSSIBLE "
        "reasons :\\\\n- Wrong sound output or device mode selected\\\\n- Latest sound "
        "drivers are not installed\\\\n\\\\nFMOD error message :\\\\nCannot call this "
        "command after FSOUND_Init.  Call FSOUND_Close first");
    EXPECT_EXIT(
        {
            soundInitOffline(44100);
            const char junk[] = "not a sound file at all";
            openMusicStream(junk, sizeof junk);
        },
        testing::ExitedWithCode(1),
        "fatal\tFMOD - Sound System - ERROR\tLoading sound file failed !.*FMOD error "
        "message :\\\\nUnknown file format");
    EXPECT_EXIT(
        {
            soundInitOffline(44100);
            stopMusicStream(nullptr);
        },
        testing::ExitedWithCode(1),
        "Stopping sound file failed !\\\\n\\\\nPOSSIBLE reasons :\\\\n- The sound file "
        "wasn't playing\\\\n- Latest sound drivers are not installed\\\\n\\\\nFMOD error "
        "message :\\\\nAn invalid parameter was passed to this function");
    EXPECT_EXIT(
        {
            soundInitOffline(44100);
            playMusicStream(nullptr, 0);
        },
        testing::ExitedWithCode(1), "Playing sound file failed !");
}
