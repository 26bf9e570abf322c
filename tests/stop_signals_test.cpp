// Ctrl+C, SIGTERM and SIGHUP, sent as a terminal sends them (to the program's process
// group), end a run in every phase as Escape or Cancel would: the exit status is 128 + the
// signal, the desktop's gamma ramp is back, the configuration is as a normal run leaves it, a
// recording keeps what it has and no temporary file stays. A second signal within 2 s ends the
// program at once and still puts the ramp back.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "config/dialogs.h"
#include "platform/instance.h"
#include "platform/stop_signals.h"
#include "support/demo_runs.h"
#include "support/test_support.h"
#include "support/x_watch.h"

namespace {

using Clock = std::chrono::steady_clock;

TEST(StopVerdict, OnlyASecondSignalWithinTwoSecondsEndsAtOnce) {
    struct Case {
        bool noted;
        uint64_t notedAtMs;
        uint64_t nowMs;
        StopVerdict verdict;
    };
    const Case cases[] = {
        {false, 0, 0, StopVerdict::Note},       // the first signal
        {false, 5000, 5100, StopVerdict::Note}, // still the first, whatever the clock says
        {true, 5000, 5000, StopVerdict::EndAtOnce},
        {true, 5000, 7000, StopVerdict::EndAtOnce}, // 2 s after the first
        {true, 5000, 7001, StopVerdict::Note},      // later: noted again
        {true, 0, 7001, StopVerdict::EndAtOnce},    // the first is being noted right now
    };
    for (const Case& c : cases)
        EXPECT_EQ(judgeStopSignal(c.noted, c.notedAtMs, c.nowMs), c.verdict)
            << c.noted << " " << c.notedAtMs << " " << c.nowMs;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> list;
    std::istringstream in(text);
    for (std::string word; in >> word;) list.push_back(word);
    return list;
}

// One film03 run in its own folder and process group, as a terminal starts a program.
struct Film03Run {
    TempDir dir;
    ConfigRecord record;
    pid_t pid = -1;
    int signals[2] = {0, 0}; // sent in this order (the second one 0 when there is none)
    bool signalled = false;
    int exitCode = -1; // 1000 + n when signal n ended it
    std::string out;
    std::string err;
};

// The windowed demo configuration with a gamma that changes the ramp.
void prepareRun(Film03Run& run, bool withData = true) {
    run.record = demoRunRecord(320, 240);
    run.record.block1.gamma = 0.6f;
    if (withData) {
        prepareDemoFolder(run.dir.path, run.record);
    } else {
        const auto* bytes = reinterpret_cast<const unsigned char*>(&run.record);
        writeWholeFile(run.dir.file(kConfigFileName), {bytes, bytes + sizeof run.record});
    }
}

void start(Film03Run& run, const std::string& arguments, const std::string& instance,
           const std::string& display) {
    std::vector<std::string> argv = {ZORX_BIN_DIR "/film03"};
    for (const std::string& word : words(arguments)) argv.push_back(word);
    run.pid = fork();
    ASSERT_GE(run.pid, 0);
    if (run.pid == 0) {
        setpgid(0, 0);
        if (chdir(run.dir.path.c_str()) != 0) _exit(99);
        setenv("FILM03_INSTANCE", instance.c_str(), 1);
        setenv("DISPLAY", display.c_str(), 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        if (!freopen("out.txt", "w", stdout) || !freopen("err.txt", "w", stderr)) _exit(98);
        std::vector<char*> pointers;
        for (std::string& word : argv) pointers.push_back(word.data());
        pointers.push_back(nullptr);
        execv(pointers[0], pointers.data());
        _exit(97);
    }
    setpgid(run.pid, run.pid);
}

bool ended(Film03Run& run) {
    if (run.exitCode != -1) return true;
    int status = 0;
    if (waitpid(run.pid, &status, WNOHANG) != run.pid) return false;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    run.out = slurp(run.dir.file("out.txt"));
    run.err = slurp(run.dir.file("err.txt"));
    return true;
}

// Waits for the run to end; one that hangs is killed and fails the test.
void waitForEnd(Film03Run& run, int seconds) {
    auto deadline = Clock::now() + std::chrono::seconds(seconds);
    while (!ended(run)) {
        if (Clock::now() > deadline) {
            kill(-run.pid, SIGKILL);
            while (!ended(run)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            ADD_FAILURE() << "the run did not end: " << run.err;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void sendSignals(Film03Run& run) {
    for (int signal : run.signals)
        if (signal != 0) kill(-run.pid, signal);
    run.signalled = true;
}

// The program catches the signal (it has installed its handlers).
bool catches(pid_t pid, int signal) {
    std::istringstream status(slurp("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1) & 1) != 0;
    return false;
}

// The instance name of the current test's runs.
std::string instanceName() {
    return std::string("stop-") + testing::UnitTest::GetInstance()->current_test_info()->name();
}

// Starts the run, sends its signals once it is ready and waits for it to end.
template <typename Ready>
void runAndStop(Film03Run& run, const std::string& arguments, const std::string& display,
                Ready ready) {
    start(run, arguments, instanceName(), display);
    if (run.pid <= 0) return;
    auto deadline = Clock::now() + std::chrono::seconds(300);
    while (!run.signalled && Clock::now() < deadline) {
        if (ended(run)) {
            ADD_FAILURE() << "ended before its signal (" << run.exitCode << "): " << run.err;
            return;
        }
        if (ready(run))
            sendSignals(run);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!run.signalled) ADD_FAILURE() << "never reached its phase";
    waitForEnd(run, 120);
}

std::vector<std::string> temporaryFiles(const std::string& dir) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::string name = entry.path().filename().string();
        if (name.find(".part.") != std::string::npos || name.ends_with(".ffmpeg.log"))
            found.push_back(name);
    }
    return found;
}

void expectConfigurationKept(const Film03Run& run) {
    std::vector<unsigned char> saved = readWholeFile(run.dir.file(kConfigFileName));
    ASSERT_EQ(saved.size(), sizeof run.record);
    EXPECT_EQ(std::memcmp(saved.data(), &run.record, sizeof run.record), 0);
}

// The window's ramp ended as it began; `shown`: it was given another one on the way (SDL
// sets a window's ramp only while the window has the input focus, which a window that ends
// at once may never get).
void expectRampRestored(ColourMapWatch& watch, bool shown) {
    watch.finish();
    RampVerdict verdict = judgeRamps(watch.stores());
    EXPECT_TRUE(verdict.restored) << verdict.why;
    if (shown) {
        EXPECT_EQ(verdict.changed, 1) << "the configured ramp was never set";
    }
}

// Each run on an X server of its own, watched there: SDL gives a window its ramp only while
// it has the input focus, which no other program's window may take.
template <typename Ready>
void runWatchedAndStop(Film03Run& run, const std::string& arguments, bool rampShown, Ready ready) {
    PrivateDisplay display;
    ASSERT_TRUE(display.ok()) << "Xvfb did not start";
    ColourMapWatch watch(display.name());
    ASSERT_TRUE(watch.ok()) << "the X server's RECORD extension is needed";
    runAndStop(run, arguments, display.name(), ready);
    expectRampRestored(watch, rampShown);
}

// --- Each phase, each signal -----------------------------------------------------------------

struct PhaseCase {
    const char* phase;
    const char* arguments;
    const char* readyFile; // the run is in the phase once it exists (none: once it catches)
    const char* stoppedAt; // how the last line names the point
    bool rampShown;        // the window had the configured ramp before the stop
};

const PhaseCase kPhases[] = {
    // Noted before the loading begins, the signal stops it at its first step.
    {"loading", "--batch --fixed-step 5", nullptr, "loading", false},
    // A key planned for the gamma screen holds it until then.
    {"gamma", "--batch --fixed-step 5 --shots gamma:0 --keys gamma:900000:Enter", "gamma-0.png",
     "gamma:", true},
    {"first", "--batch --fixed-step 5 --seek first:20000 --shots first:20000", "first-20000.png",
     "first:", true},
    {"second", "--batch --fixed-step 5 --seek second:20000 --shots second:20000",
     "second-20000.png", "second:", true},
    {"end", "--batch --fixed-step 5 --seek end:1000 --shots end:1000", "end-1000.png",
     "end:", true},
    {"recording", "--record out.mp4 --size 320x240 --seek first:20000", "out.video.part.mkv",
     "first:", true},
};

void PrintTo(const PhaseCase& phase, std::ostream* out) {
    *out << phase.phase;
}

class StopInPhase : public testing::TestWithParam<PhaseCase> {};

TEST_P(StopInPhase, EndsAsEscapeWouldAndPutsTheDesktopBack) {
    const PhaseCase& phase = GetParam();
    std::vector<Film03Run> runs(3);
    const int signals[] = {SIGINT, SIGTERM, SIGHUP};
    for (size_t i = 0; i < runs.size(); ++i) {
        prepareRun(runs[i]);
        runs[i].signals[0] = signals[i];
    }
    for (Film03Run& run : runs) {
        SCOPED_TRACE(stopSignalName(run.signals[0]));
        runWatchedAndStop(run, phase.arguments, phase.rampShown, [&](Film03Run& r) {
            return phase.readyFile != nullptr ? std::filesystem::exists(r.dir.file(phase.readyFile))
                                              : catches(r.pid, r.signals[0]);
        });
    }
    for (const Film03Run& run : runs) {
        std::string name = stopSignalName(run.signals[0]);
        SCOPED_TRACE(std::string(phase.phase) + " " + name + "\n" + run.err);
        EXPECT_EQ(run.exitCode, 128 + run.signals[0]);
        EXPECT_EQ(run.err.find("fatal\t"), std::string::npos);
        std::string last = "film03: stopped at " + std::string(phase.stoppedAt);
        size_t at = run.err.rfind("film03: stopped at ");
        ASSERT_NE(at, std::string::npos);
        EXPECT_EQ(run.err.substr(at, last.size()), last);
        EXPECT_TRUE(run.err.ends_with(" (" + name + ")\n"));
        expectConfigurationKept(run);
        EXPECT_EQ(temporaryFiles(run.dir.path), std::vector<std::string>{});
        if (phase.readyFile == nullptr) {
            EXPECT_TRUE(run.out.empty()) << "loaded: " << run.out.substr(0, 80);
        }
        if (std::string(phase.phase) == "recording") {
            // Finished with the frames up to the stop, and whole.
            std::string probe = "ffprobe -v error '" + run.dir.file("out.mp4") + "' >/dev/null";
            EXPECT_EQ(std::system(probe.c_str()), 0);
        }
    }
}

std::string phaseName(const testing::TestParamInfo<PhaseCase>& param) {
    return param.param.phase;
}

INSTANTIATE_TEST_SUITE_P(Phases, StopInPhase, testing::ValuesIn(kPhases), phaseName);

// --- A second signal within 2 s --------------------------------------------------------------

TEST(StopTwice, EndsAtOnceYetPutsTheRampBackAndRemovesTheRecording) {
    // Sent together, so that the program cannot have ended before the second: either may be
    // handled first, and the other ends the program with its number.
    Film03Run scene, recording;
    prepareRun(scene);
    scene.signals[0] = SIGHUP;
    scene.signals[1] = SIGINT;
    prepareRun(recording);
    recording.signals[0] = SIGINT;
    recording.signals[1] = SIGTERM;
    runWatchedAndStop(scene, kPhases[2].arguments, true, [](Film03Run& run) {
        return std::filesystem::exists(run.dir.file("first-20000.png"));
    });
    runWatchedAndStop(recording, kPhases[5].arguments, true, [](Film03Run& run) {
        return std::filesystem::exists(run.dir.file("out.video.part.mkv"));
    });
    for (const Film03Run* run : {&scene, &recording}) {
        SCOPED_TRACE(run->err);
        EXPECT_TRUE(run->exitCode == 128 + run->signals[0] ||
                    run->exitCode == 128 + run->signals[1])
            << run->exitCode;
        EXPECT_EQ(run->err.find("stopped at"), std::string::npos); // no normal shutdown
        EXPECT_EQ(temporaryFiles(run->dir.path), std::vector<std::string>{});
    }
    EXPECT_FALSE(std::filesystem::exists(recording.dir.file("out.mp4")));
}

// --- The configuration dialogs ---------------------------------------------------------------

struct DialogCase {
    int signal;
    std::string_view onTop; // the dialog opened over "Configuration" (empty: none)
    int buttonX;            // its button in "Configuration"
    int buttonY;
};

const DialogCase kDialogs[] = {
    {SIGINT, "", 0, 0},
    {SIGTERM, kMoreSettingsTitle, 64, 320},
    {SIGHUP, kAboutTitle, 165, 320}, // its close box does nothing, yet it closes
};

void PrintTo(const DialogCase& dialog, std::ostream* out) {
    *out << stopSignalName(dialog.signal);
}

// An X server of the test's own and the test's connection to it, for runs with dialogs.
struct DialogScreen {
    DialogScreen() : display(server.ok() ? XOpenDisplay(server.name().c_str()) : nullptr) {}
    ~DialogScreen() {
        if (display != nullptr) XCloseDisplay(display);
    }
    PrivateDisplay server;
    Display* display;
};

class StopInDialog : public testing::TestWithParam<DialogCase> {};

TEST_P(StopInDialog, ClosesEveryDialogAsCancel) {
    const DialogCase& dialog = GetParam();
    DialogScreen screen;
    ASSERT_NE(screen.display, nullptr) << "Xvfb did not start";
    Display* display = screen.display;
    Film03Run run;
    prepareRun(run, false);
    run.signals[0] = dialog.signal;
    runAndStop(run, "", screen.server.name(), [&](Film03Run& r) {
        Window configuration =
            waitForTopLevel(display, std::string(kConfigurationTitle), r.pid, 60);
        if (configuration == 0) return false;
        if (dialog.onTop.empty()) return true;
        clickAt(display, configuration, dialog.buttonX, dialog.buttonY);
        return waitForTopLevel(display, std::string(dialog.onTop), r.pid, 30) != 0;
    });
    EXPECT_EQ(run.exitCode, 128 + dialog.signal) << run.err;
    EXPECT_EQ(run.err, "film03: stopped at configuration (" +
                           std::string(stopSignalName(dialog.signal)) + ")\n");
    expectConfigurationKept(run); // Cancel writes nothing
}

std::string dialogCaseName(const testing::TestParamInfo<DialogCase>& param) {
    return std::string(stopSignalName(param.param.signal)).substr(3);
}

INSTANTIATE_TEST_SUITE_P(Signals, StopInDialog, testing::ValuesIn(kDialogs), dialogCaseName);

// A second start while the first shows its configuration dialog brings that dialog to the
// front and says so.
TEST(SecondStart, RaisesTheConfigurationDialogOfTheFirst) {
    DialogScreen screen;
    ASSERT_NE(screen.display, nullptr) << "Xvfb did not start";
    Display* display = screen.display;
    Film03Run first;
    prepareRun(first, false);
    first.signals[0] = SIGTERM;
    runAndStop(first, "", screen.server.name(), [&](Film03Run& run) {
        Window dialog = waitForTopLevel(display, std::string(kConfigurationTitle), run.pid, 60);
        if (dialog == 0) return false;
        // A window of the test's own covers the screen, above the dialog.
        Window cover = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0,
                                           unsigned(DisplayWidth(display, 0)),
                                           unsigned(DisplayHeight(display, 0)), 0, 0, 0);
        XMapRaised(display, cover);
        XSync(display, False);
        EXPECT_TRUE(stackedAbove(display, cover, dialog));

        Film03Run second;
        start(second, "--batch", instanceName(), screen.server.name());
        waitForEnd(second, 60);
        EXPECT_EQ(second.exitCode, 0);
        EXPECT_EQ(second.err, kAlreadyRunning);
        auto deadline = Clock::now() + std::chrono::seconds(30);
        while (!stackedAbove(display, dialog, cover) && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_TRUE(stackedAbove(display, dialog, cover)) << "the dialog stayed behind";
        XDestroyWindow(display, cover);
        XSync(display, False);
        return true;
    });
    EXPECT_EQ(first.exitCode, 128 + SIGTERM) << first.err;
}

} // namespace
