// The sound layer on real SDL audio back-ends, the program's start and pause calls, and
// demotool mix.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cmath>
#include <filesystem>
#include <cstdlib>
#include <string>
#include <vector>

#include "sound/device.h"
#include "sound/encoders.h"
#include "sound/fsound.h"
#include "sound/sound_startup.h"
#include "fatal_pattern.h"
#include "support/test_support.h"

namespace {

std::vector<uint8_t> toneOgg(double seconds, int rate = 44100) {
    std::vector<int16_t> pcm;
    for (int i = 0; i < int(seconds * rate); ++i) {
        auto value = int16_t(10000 * std::sin(2 * M_PI * 330 * i / rate));
        pcm.push_back(value);
        pcm.push_back(value);
    }
    return encodeVorbis(pcm, 2, rate);
}

// Sets an environment variable for the lifetime of the object.
struct ScopedEnv {
    ScopedEnv(const char* variable, const char* value) : name(variable) {
        const char* old = std::getenv(variable);
        hadOld = old != nullptr;
        if (hadOld) previous = old;
        if (value != nullptr)
            setenv(variable, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (hadOld)
            setenv(name, previous.c_str(), 1);
        else
            unsetenv(name);
    }
    const char* name;
    std::string previous;
    bool hadOld = false;
};

struct SoundDeviceTest : testing::Test {
    void SetUp() override {
        FSOUND_Close();
        // A playing device has its own thread: a child forked beside it could inherit the
        // mixer's lock held and wait on it for ever, so each death test starts afresh.
        GTEST_FLAG_SET(death_test_style, "threadsafe");
    }
    void TearDown() override { closeSoundSystem(); }
};

} // namespace

TEST_F(SoundDeviceTest, OutputTypesMapToSdlBackEnds) {
    {
        ScopedEnv unset("SDL_AUDIODRIVER", nullptr);
        EXPECT_STREQ(outputBackend(kSoundOutputNone), "dummy");
        EXPECT_STREQ(outputBackend(kSoundOutputAlsa), "alsa");
        EXPECT_EQ(outputBackend(kSoundOutputDefault), nullptr);
    }
    ScopedEnv chosen("SDL_AUDIODRIVER", "disk");
    EXPECT_STREQ(outputBackend(kSoundOutputNone), "dummy");
    EXPECT_EQ(outputBackend(kSoundOutputAlsa), nullptr);
    EXPECT_EQ(soundOutputType(0), kSoundOutputDefault);
    EXPECT_EQ(soundOutputType(1), kSoundOutputAlsa);
    EXPECT_EQ(soundOutputType(2), kSoundOutputNone);
    EXPECT_EQ(soundOutputType(9), kSoundOutputAlsa);
    EXPECT_FALSE(FSOUND_SetOutput(3));
    EXPECT_EQ(FSOUND_GetError(), 14);
}

TEST_F(SoundDeviceTest, DummyDeviceOpensAtEveryQuality) {
    ScopedEnv dummy("SDL_AUDIODRIVER", "dummy");
    for (int quality : {0, 1, 2}) {
        setSoundOutputOrFatal(0);
        ASSERT_GE(FSOUND_GetNumDrivers(), 1);
        ASSERT_NE(FSOUND_GetDriverName(0), nullptr);
        EXPECT_EQ(FSOUND_GetDriverName(FSOUND_GetNumDrivers()), nullptr);
        setSoundDriverOrFatal(0);
        startSoundSystem(quality);
        EXPECT_TRUE(soundIsRunning()) << quality;
        closeSoundSystem();
    }
    startSoundSystem(7); // any other quality leaves the layer uninitialised
    EXPECT_FALSE(soundIsRunning());
    EXPECT_EQ(failureState.pauseSound, nullptr);
}

using SoundChoiceDeathTest = SoundDeviceTest;

// What the configuration dialog's choices end in when the sound layer refuses them.
TEST_F(SoundChoiceDeathTest, RefusedOutputAndDeviceAreFatalWithTheirTexts) {
    ScopedEnv dummy("SDL_AUDIODRIVER", "dummy");
    failureState.batch = true;
    const std::string output = "Setting FMOD output mode failed !\n\nPOSSIBLE reasons :\n- Your "
                               "sound card does not support this output\n- Latest sound drivers "
                               "are not installed\n\nFMOD error message :\n";
    const std::string device = "Setting FMOD device mode failed !\n\nPOSSIBLE reasons :\n- Your "
                               "sound card does not support this device\n- Latest sound drivers "
                               "are not installed\n\nFMOD error message :\n";
    const std::string invalid = "An invalid parameter was passed to this function";
    const std::string started =
        "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first";
    auto fatal = [](const std::string& text) {
        return fatalPattern("FMOD - Sound System - ERROR", text) + "\n$";
    };
    setSoundOutputOrFatal(2);
    EXPECT_EXIT(setSoundDriverOrFatal(FSOUND_GetNumDrivers()), testing::ExitedWithCode(1),
                fatal(device + invalid));
    EXPECT_EXIT(setSoundDriverOrFatal(-1), testing::ExitedWithCode(1), fatal(device + invalid));
    startSoundSystem(0); // neither can change while the sound runs
    ASSERT_TRUE(soundIsRunning());
    EXPECT_EXIT(setSoundOutputOrFatal(1), testing::ExitedWithCode(1), fatal(output + started));
    EXPECT_EXIT(setSoundDriverOrFatal(0), testing::ExitedWithCode(1), fatal(device + started));
    failureState.batch = false;
}

namespace {

std::vector<std::string> soundNotices;
bool recordSoundNotice(BoxKind kind, std::string_view caption, std::string_view text) {
    if (kind == BoxKind::Notice)
        soundNotices.push_back(std::string(caption) + "|" + std::string(text));
    return true;
}

} // namespace

using SoundStartDeathTest = SoundDeviceTest;

// The stored output ("ALSA", which SDL_AUDIODRIVER overrides) on SDL's real drivers: no
// device at all plays silently after one notice that names the driver and SDL's reason; a
// device plays as before; a device that is there but fails, at its opening or at its first
// buffer, is the fatal report.
TEST_F(SoundStartDeathTest, NoDevicePlaysSilentlyAndAFailingDeviceIsFatal) {
    enum class Outcome { Silent, Plays, Fatal };
    struct Row {
        const char* driver;
        std::string diskFile;
        Outcome outcome;
        const char* tried; // the driver the notice names
        const char* reason;
    };
    TempDir dir;
    const Row rows[] = {
        {"nosuch", "", Outcome::Silent, "nosuch (SDL_AUDIODRIVER)",
         "Audio target 'nosuch' not available"},
        {"dummy", "", Outcome::Plays, "", ""},
        {"disk", dir.file("out.raw"), Outcome::Plays, "", ""},
        {"disk", dir.file("no-such-folder/out.raw"), Outcome::Fatal, "", ""},
        {"disk", "/dev/full", Outcome::Fatal, "", ""},
    };
    const std::string initFailed = std::string(kSoundInitFailed) +
                                   "\n\nFMOD error message :\nError initializing output device";
    failureState.batch = true;
    failureState.boxRecorder = recordSoundNotice;
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.driver) + " " + row.diskFile);
        ScopedEnv driver("SDL_AUDIODRIVER", row.driver);
        ScopedEnv file("SDL_DISKAUDIOFILE", row.diskFile.empty() ? nullptr : row.diskFile.c_str());
        soundNotices.clear();
        FSOUND_Close();
        auto start = [] {
            setSoundOutputOrFatal(1);
            setSoundDriverOrFatal(0);
            startSoundSystem(0);
        };
        if (row.outcome == Outcome::Fatal) {
            failureState.boxRecorder = nullptr;
            EXPECT_EXIT(start(), testing::ExitedWithCode(1),
                        fatalPattern(kSoundErrorCaption, initFailed) + "\n$");
            failureState.boxRecorder = recordSoundNotice;
            continue;
        }
        start();
        EXPECT_TRUE(soundIsRunning());
        if (row.outcome == Outcome::Plays) {
            EXPECT_TRUE(soundNotices.empty());
            continue;
        }
        ASSERT_EQ(soundNotices.size(), 1u);
        EXPECT_EQ(soundNotices[0],
                  "FMOD - Sound System - ERROR|No sound device could be opened !\n\nThe demo "
                  "plays without sound.\n\nSound driver tried : " +
                      std::string(row.tried) + "\nReason : " + row.reason +
                      "\n\nTo get sound :\n- Start a sound server (PipeWire or PulseAudio) or "
                      "connect a sound card, then start the demo again\n- Or choose \"NoSound\" "
                      "as Output in the Configuration dialog to start silently without this "
                      "notice");
        EXPECT_STREQ(FSOUND_GetDriverName(0), "System audio output device"); // SDL's dummy
    }
    failureState.boxRecorder = nullptr;
    failureState.batch = false;
}

TEST_F(SoundDeviceTest, DiskDriverWritesThePlayedStream) {
    TempDir dir;
    std::string file = dir.file("out.raw");
    ScopedEnv disk("SDL_AUDIODRIVER", "disk");
    ScopedEnv target("SDL_DISKAUDIOFILE", file.c_str());
    std::vector<uint8_t> ogg = toneOgg(1.0);
    for (int rate : {44100, 22050, 11025}) {
        FSOUND_Close();
        ASSERT_TRUE(FSOUND_SetOutput(kSoundOutputDefault));
        ASSERT_TRUE(FSOUND_Init(rate, 64, 0)) << rate << ": " << FSOUND_GetError();
    }
    FSOUND_STREAM* stream = openMusicStream(ogg.data(), uint32_t(ogg.size()));
    ASSERT_GE(FSOUND_Stream_Play(FSOUND_FREE, stream), 0);
    // The device plays in real time: wait until it has written a quarter of a second's bytes and
    // the stream's clock has moved (a busy machine may take longer), with a deadline far beyond
    // that for a device that never plays.
    auto written = [&] {
        std::error_code error;
        const auto size = std::filesystem::file_size(file, error);
        return error ? 0u : size;
    };
    const uint32_t deadline = SDL_GetTicks() + 10000;
    while ((written() <= 11025u || FSOUND_Stream_GetTime(stream) <= 100) &&
           SDL_GetTicks() < deadline)
        SDL_Delay(10);
    EXPECT_GT(FSOUND_Stream_GetTime(stream), 100);
    FSOUND_Close();

    std::vector<unsigned char> bytes = readWholeFile(file);
    ASSERT_GT(bytes.size(), 11025u);
    int loudest = 0;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        loudest = std::max(loudest, std::abs(int(int16_t(bytes[i] | bytes[i + 1] << 8))));
    EXPECT_GT(loudest, 8000);
}

TEST_F(SoundDeviceTest, PauseHookStopsTheClockOfAPlayingStream) {
    ScopedEnv unset("SDL_AUDIODRIVER", nullptr);
    setSoundOutputOrFatal(2); // "NoSound": silence, but the clock runs in real time
    startSoundSystem(1);
    ASSERT_EQ(failureState.pauseSound, &pauseAllSound);
    std::vector<uint8_t> ogg = toneOgg(3.0);
    FSOUND_STREAM* stream = openMusicStream(ogg.data(), uint32_t(ogg.size()));
    playMusicStream(stream, 0);
    SDL_Delay(200);
    EXPECT_GT(musicTime(stream), 50u);

    failureState.pauseSound(true);
    uint32_t paused = musicTime(stream);
    SDL_Delay(200);
    EXPECT_EQ(musicTime(stream), paused);
    failureState.pauseSound(false);
    SDL_Delay(200);
    EXPECT_GT(musicTime(stream), paused + 50);
    stopMusicStream(stream);
    EXPECT_EQ(musicTime(stream), 0u);
    closeSoundSystem();
    EXPECT_EQ(failureState.pauseSound, nullptr);
}

TEST(SoundDeviceDeathTest, FatalReportWhilePlayingEndsCleanly) {
    failureState.batch = true;
    std::vector<uint8_t> ogg = toneOgg(2.0);
    EXPECT_EXIT(
        {
            startSoundSystem(0);
            playMusicStream(openMusicStream(ogg.data(), uint32_t(ogg.size())), 0);
            SDL_Delay(100);
            soundFatalError(kSoundStopFailed);
        },
        testing::ExitedWithCode(1), "fatal\tFMOD - Sound System - ERROR\tStopping sound");
}

TEST(DemotoolMix, WritesTheSoundAsWavAndRejectsDamagedFiles) {
    TempDir dir;
    std::vector<uint8_t> ogg = toneOgg(0.5);
    writeWholeFile(dir.file("tone.ogg"), {ogg.begin(), ogg.end()});
    std::string demotool = std::string(ZORX_BIN_DIR) + "/demotool";
    std::string command = demotool + " mix " + dir.file("tone.ogg") + " " + dir.file("tone.wav") +
                          " --rate 22050 --volume 128 >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::vector<unsigned char> wav = readWholeFile(dir.file("tone.wav"));
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    auto word = [&](size_t at) {
        return uint32_t(wav[at] | wav[at + 1] << 8 | wav[at + 2] << 16 | wav[at + 3] << 24);
    };
    EXPECT_EQ(word(24), 22050u);
    EXPECT_EQ(word(40), wav.size() - 44);
    EXPECT_NEAR(double(word(40)) / 4, 11025.0, 110.0); // half a second at 22050 Hz
    int loudest = 0;
    for (size_t i = 44; i + 1 < wav.size(); i += 2)
        loudest = std::max(loudest, std::abs(int(int16_t(wav[i] | wav[i + 1] << 8))));
    EXPECT_NEAR(loudest, 10000 * 128 / 255, 300);

    writeWholeFile(dir.file("bad.mp3"), {'I', 'D', '3', 0, 1, 2});
    command = demotool + " mix " + dir.file("bad.mp3") + " " + dir.file("bad.wav") + " 2>" +
              dir.file("err.txt");
    int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    std::vector<unsigned char> err = readWholeFile(dir.file("err.txt"));
    EXPECT_EQ(std::string(err.begin(), err.end()),
              "demotool: mix: Loading sound file failed ! POSSIBLE reasons : - A sound file is "
              "missing - A sound file is write-protected or blocked FMOD error message : Unknown "
              "file format\n");
}
