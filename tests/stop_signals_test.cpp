// Ctrl+C, SIGTERM and SIGHUP, sent as a terminal sends them (to the program's process group),
// end a run in every phase as Escape or Cancel would: exit status 128 + the signal, the gamma
// ramp back, the configuration as a normal run leaves it, a recording kept up to the stop and
// no temporary file left. A second signal at once ends the program at once, ramp restored.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
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
    const struct {
        bool noted;
        uint64_t notedAtMs, nowMs;
        StopVerdict verdict;
    } cases[] = {
        {false, 5000, 5100, StopVerdict::Note},     // the first signal
        {true, 5000, 7000, StopVerdict::EndAtOnce}, // 2 s after it
        {true, 5000, 7001, StopVerdict::Note},      // later: noted again
        {true, 0, 7001, StopVerdict::EndAtOnce},    // the first is being noted on another thread
    };
    for (const auto& c : cases)
        EXPECT_EQ(judgeStopSignal(c.noted, c.notedAtMs, c.nowMs), c.verdict) << c.nowMs;
}

// One film03 run in a folder and a process group of its own.
struct Film03Run {
    TempDir dir;
    ConfigRecord record;
    pid_t pid = -1;
    int signals[2] = {0, 0}; // sent together (the second 0 when there is none)
    int exitCode = -1;       // 1000 + n when signal n ended it
    std::string out, err;
};

std::string fileText(const std::string& path) {
    std::vector<unsigned char> bytes = readWholeFile(path);
    return {bytes.begin(), bytes.end()};
}

// The windowed demo configuration with a gamma that changes the ramp, and the demo's data
// (which a start looks for before the configuration dialog opens).
void prepareRun(Film03Run& run) {
    run.record = demoRunRecord(320, 240);
    run.record.block1.gamma = 0.6f;
    prepareDemoFolder(run.dir.path, run.record);
}

void start(Film03Run& run, const std::string& arguments, const std::string& display) {
    std::string instance = testing::UnitTest::GetInstance()->current_test_info()->name();
    std::vector<std::string> argv = {ZORX_BIN_DIR "/film03"};
    std::istringstream words(arguments);
    for (std::string word; words >> word;) argv.push_back(word);
    run.pid = fork();
    if (run.pid == 0) {
        setpgid(0, 0);
        setenv("FILM03_INSTANCE", instance.c_str(), 1);
        setenv("DISPLAY", display.c_str(), 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        if (chdir(run.dir.path.c_str()) != 0 || !freopen("out.txt", "w", stdout) ||
            !freopen("err.txt", "w", stderr))
            _exit(99);
        std::vector<char*> pointers;
        for (std::string& word : argv) pointers.push_back(word.data());
        pointers.push_back(nullptr);
        execv(pointers[0], pointers.data());
        _exit(98);
    }
    setpgid(run.pid, run.pid);
}

bool ended(Film03Run& run) {
    int status = 0;
    if (run.exitCode != -1 || waitpid(run.pid, &status, WNOHANG) != run.pid)
        return run.exitCode != -1;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    run.out = fileText(run.dir.file("out.txt"));
    run.err = fileText(run.dir.file("err.txt"));
    return true;
}

// Waits up to two minutes; a run that hangs is killed and fails the test.
void waitForEnd(Film03Run& run) {
    auto deadline = Clock::now() + std::chrono::seconds(120);
    while (!ended(run) && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (run.exitCode != -1) return;
    kill(-run.pid, SIGKILL);
    while (!ended(run)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ADD_FAILURE() << "the run did not end: " << run.err;
}

// Starts the run, sends its signals once `ready` says it is in its phase, waits for the end.
template <typename Ready>
void runAndStop(Film03Run& run, const std::string& arguments, const std::string& display,
                Ready ready) {
    start(run, arguments, display);
    auto deadline = Clock::now() + std::chrono::seconds(300);
    while (!ended(run) && !ready(run) && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(run.exitCode, -1) << "ended before its signal: " << run.err;
    for (int signal : run.signals)
        if (signal != 0) kill(-run.pid, signal);
    waitForEnd(run);
}

// The same on an X server of its own, whose colour maps are watched: the window's ramp must
// end as it began; `rampShown`: it had the configured one on the way (SDL sets a window's
// ramp only while the window has the input focus, which a run that stops early may not get).
template <typename Ready>
void runWatchedAndStop(Film03Run& run, const std::string& arguments, bool rampShown, Ready ready) {
    PrivateDisplay display;
    ColourMapWatch watch(display.name());
    ASSERT_TRUE(watch.ok()) << "no Xvfb with the RECORD extension";
    runAndStop(run, arguments, display.name(), ready);
    watch.finish();
    RampVerdict verdict = judgeRamps(watch.stores);
    EXPECT_TRUE(verdict.restored) << "the window ended on another ramp";
    EXPECT_TRUE(!rampShown || verdict.changed == 1) << "the configured ramp was never set";
}

// The program has its handlers for the signal.
bool catches(pid_t pid, int signal) {
    std::istringstream status(fileText("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("SigCgt:"))
            return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1) & 1) != 0;
    return false;
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

// --- Each phase, each signal -----------------------------------------------------------------

struct PhaseCase {
    const char* phase;
    const char* arguments;
    const char* readyFile; // in the phase once it exists (none: once the handlers are in)
    const char* stoppedAt; // the start of the point the last line names
};

const PhaseCase kPhases[] = {
    // Noted before the loading begins, the signal stops it at its first step.
    {"loading", "--batch --fixed-step 5", nullptr, "loading"},
    // A key planned for the gamma screen holds it until then.
    {"gamma", "--batch --fixed-step 5 --shots gamma:0 --keys gamma:900000:Enter", "gamma-0.png",
     "gamma:"},
    {"first", "--batch --fixed-step 5 --seek first:20000 --shots first:20000", "first-20000.png",
     "first:"},
    {"second", "--batch --fixed-step 5 --seek second:20000 --shots second:20000",
     "second-20000.png", "second:"},
    {"end", "--batch --fixed-step 5 --seek end:1000 --shots end:1000", "end-1000.png", "end:"},
    {"recording", "--record out.mp4 --size 320x240 --seek first:20000", "out.video.part.mkv",
     "first:"},
};

void PrintTo(const PhaseCase& phase, std::ostream* out) {
    *out << phase.phase;
}

class StopInPhase : public testing::TestWithParam<PhaseCase> {};

TEST_P(StopInPhase, EndsAsEscapeWouldAndPutsTheDesktopBack) {
    const PhaseCase& phase = GetParam();
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        std::string name = stopSignalName(signal);
        SCOPED_TRACE(name);
        Film03Run run;
        prepareRun(run);
        run.signals[0] = signal;
        runWatchedAndStop(run, phase.arguments, phase.readyFile != nullptr, [&](Film03Run& r) {
            return phase.readyFile != nullptr ? std::filesystem::exists(r.dir.file(phase.readyFile))
                                              : catches(r.pid, signal);
        });
        EXPECT_EQ(run.exitCode, 128 + signal) << run.err;
        EXPECT_EQ(run.err.find("fatal\t"), std::string::npos) << run.err;
        size_t at = run.err.rfind("film03: stopped at ");
        ASSERT_NE(at, std::string::npos) << run.err;
        EXPECT_TRUE(run.err.substr(at + 19).starts_with(phase.stoppedAt)) << run.err;
        EXPECT_TRUE(run.err.ends_with(" (" + name + ")\n")) << run.err;
        expectConfigurationKept(run);
        EXPECT_EQ(temporaryFiles(run.dir.path), std::vector<std::string>{});
        EXPECT_TRUE(phase.readyFile != nullptr || run.out.empty()) << "loaded something";
        std::string probe = "ffprobe -v error '" + run.dir.file("out.mp4") + "'";
        if (std::string(phase.phase) == "recording") { // the video up to the stop, whole
            EXPECT_EQ(std::system(probe.c_str()), 0);
        }
    }
}

std::string phaseName(const testing::TestParamInfo<PhaseCase>& param) {
    return param.param.phase;
}

INSTANTIATE_TEST_SUITE_P(Phases, StopInPhase, testing::ValuesIn(kPhases), phaseName);

// Sent together, so that the program cannot have ended before the second: whichever is
// handled second ends it at once, without the shutdown's last line.
TEST(StopTwice, EndsAtOnceYetPutsTheRampBackAndRemovesTheRecording) {
    for (const PhaseCase* phase : {&kPhases[2], &kPhases[5]}) {
        SCOPED_TRACE(phase->phase);
        Film03Run run;
        prepareRun(run);
        run.signals[0] = SIGINT;
        run.signals[1] = SIGTERM;
        runWatchedAndStop(run, phase->arguments, true, [&](Film03Run& r) {
            return std::filesystem::exists(r.dir.file(phase->readyFile));
        });
        EXPECT_TRUE(run.exitCode == 128 + SIGINT || run.exitCode == 128 + SIGTERM) << run.exitCode;
        EXPECT_EQ(run.err.find("stopped at"), std::string::npos) << run.err;
        EXPECT_EQ(temporaryFiles(run.dir.path), std::vector<std::string>{});
        EXPECT_FALSE(std::filesystem::exists(run.dir.file("out.mp4")));
        if (phase != &kPhases[5]) continue;
        // The recording's progress line is ended, and a last line of its own says why.
        const std::string last =
            "film03: the recording ended at once; its unfinished files are removed\n";
        ASSERT_TRUE(run.err.ends_with(last)) << run.err;
        size_t at = run.err.size() - last.size();
        EXPECT_TRUE(at == 0 || run.err[at - 1] == '\n') << run.err;
    }
}

// --- The configuration dialogs ---------------------------------------------------------------

// An X server of the test's own and the test's connection to it.
struct DialogScreen {
    DialogScreen() : display(XOpenDisplay(server.name().c_str())) {}
    ~DialogScreen() {
        if (display != nullptr) XCloseDisplay(display);
    }
    PrivateDisplay server;
    Display* display;
};

struct DialogCase {
    int signal;
    std::string_view onTop; // the dialog opened over "Configuration" by its button at x, y
    int x, y;
};

const DialogCase kDialogs[] = {
    {SIGINT, "", 0, 0},
    {SIGTERM, kMoreSettingsTitle, 64, 320},
    {SIGHUP, kAboutTitle, 165, 320}, // whose close box does nothing
};

void PrintTo(const DialogCase& dialog, std::ostream* out) {
    *out << stopSignalName(dialog.signal);
}

class StopInDialog : public testing::TestWithParam<DialogCase> {};

TEST_P(StopInDialog, ClosesEveryDialogAsCancel) {
    const DialogCase& dialog = GetParam();
    DialogScreen screen;
    ASSERT_NE(screen.display, nullptr) << "Xvfb did not start";
    Film03Run run;
    prepareRun(run);
    run.signals[0] = dialog.signal;
    runAndStop(run, "", screen.server.name(), [&](Film03Run&) {
        Window configuration =
            waitForTopLevel(screen.display, std::string(kConfigurationTitle), 60);
        if (configuration == 0 || dialog.onTop.empty()) return configuration != 0;
        clickAt(screen.display, configuration, dialog.x, dialog.y);
        return waitForTopLevel(screen.display, std::string(dialog.onTop), 30) != 0;
    });
    EXPECT_EQ(run.exitCode, 128 + dialog.signal);
    EXPECT_EQ(run.err, "film03: stopped at configuration (" +
                           std::string(stopSignalName(dialog.signal)) + ")\n");
    expectConfigurationKept(run); // Cancel writes nothing
}

std::string dialogCaseName(const testing::TestParamInfo<DialogCase>& param) {
    return std::string(stopSignalName(param.param.signal)).substr(3);
}

INSTANTIATE_TEST_SUITE_P(Signals, StopInDialog, testing::ValuesIn(kDialogs), dialogCaseName);

TEST(SecondStart, RaisesTheConfigurationDialogOfTheFirstAndSaysSo) {
    DialogScreen screen;
    ASSERT_NE(screen.display, nullptr) << "Xvfb did not start";
    Display* display = screen.display;
    Film03Run first, second;
    prepareRun(first);
    first.signals[0] = SIGTERM;
    runAndStop(first, "", screen.server.name(), [&](Film03Run&) {
        Window dialog = waitForTopLevel(display, std::string(kConfigurationTitle), 60);
        // A window of the test's own covers the screen above the dialog.
        Window cover =
            XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1280, 1024, 0, 0, 0);
        XMapRaised(display, cover);
        XSync(display, False);
        EXPECT_TRUE(stackedAbove(display, cover, dialog));
        start(second, "--batch", screen.server.name());
        waitForEnd(second);
        auto deadline = Clock::now() + std::chrono::seconds(30);
        while (!stackedAbove(display, dialog, cover) && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_TRUE(stackedAbove(display, dialog, cover)) << "the dialog stayed behind";
        return true;
    });
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(second.err, kAlreadyRunning);
    EXPECT_EQ(first.exitCode, 128 + SIGTERM) << first.err;
}

} // namespace
