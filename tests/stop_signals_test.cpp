// Ctrl+C, SIGTERM and SIGHUP, sent as a terminal sends them (to the program's process group),
// end a run in every phase as Escape or Cancel would: exit status 128 + the signal, the gamma
// ramp back, the configuration as a normal run leaves it, a recording kept up to the stop and
// no temporary file left. A second signal at once ends the program at once, ramp restored; an
// end that hangs gives way to the signal's default action. Each signal and each phase once:
// the phases share the code that stops them, the signals the handler.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>

#include "config/dialogs.h"
#include "platform/system/instance.h"
#include "platform/system/stop_signals.h"
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

// The X server every run of this program shows its windows on, started once: CTest runs the
// whole program as one test. The cases take turns on it, as each watches every colour map.
PrivateDisplay& sharedServer() {
    static PrivateDisplay server;
    return server;
}

// One film03 run in a folder and a process group of its own.
struct Film03Run {
    TempDir dir;
    ConfigRecord record;
    pid_t pid = -1;
    int signals[2] = {0, 0}; // sent together (the second 0 when there is none)
    int exitCode = -1;       // 1000 + n when signal n ended it
    std::string out, err;
    std::string path; // PATH of the run, when it differs from the test's
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

void start(Film03Run& run, const std::string& arguments,
           const std::string& display = sharedServer().name()) {
    std::string instance = testing::UnitTest::GetInstance()->current_test_info()->name();
    std::vector<std::string> argv = {ZORX_BIN_DIR "/film03"};
    std::istringstream words(arguments);
    for (std::string word; words >> word;) argv.push_back(word);
    run.pid = fork();
    if (run.pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL); // ends with the test program
        setpgid(0, 0);
        setenv("FILM03_INSTANCE", instance.c_str(), 1);
        setenv("DISPLAY", display.c_str(), 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        if (!run.path.empty()) setenv("PATH", run.path.c_str(), 1);
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

// Waits up to `seconds`; a run that hangs is killed and fails the test.
void waitForEnd(Film03Run& run, int seconds = 120) {
    auto deadline = Clock::now() + std::chrono::seconds(seconds);
    while (!ended(run) && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (run.exitCode != -1) return;
    kill(-run.pid, SIGKILL);
    while (!ended(run)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ADD_FAILURE() << "the run did not end: " << run.err;
}

// Starts the run and waits until `ready` says it is in its phase (false: it ended first, or
// did not get there within five minutes).
template <typename Ready>
bool startAndWait(Film03Run& run, const std::string& arguments, Ready ready) {
    start(run, arguments);
    auto deadline = Clock::now() + std::chrono::seconds(300);
    bool there = false;
    while (!ended(run) && !(there = ready(run)) && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return there && run.exitCode == -1;
}

void sendSignals(const Film03Run& run) {
    for (int signal : run.signals)
        if (signal != 0) kill(-run.pid, signal);
}

// Starts the run, sends its signals once `ready` says it is in its phase, waits for the end.
// The colour maps are watched meanwhile: the window's ramp must end as it began;
// `rampShown`: it had the configured one on the way (SDL sets a window's ramp only while the
// window has the input focus, which a run that stops early may not get).
template <typename Ready>
void runAndStop(Film03Run& run, const std::string& arguments, bool rampShown, Ready ready) {
    ColourMapWatch watch(sharedServer().name());
    ASSERT_TRUE(watch.ok()) << "no Xvfb with the RECORD extension";
    ASSERT_TRUE(startAndWait(run, arguments, ready)) << "ended before its signal: " << run.err;
    sendSignals(run);
    waitForEnd(run);
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

void expectStoppedAt(const Film03Run& run, int signal, const std::string& where) {
    EXPECT_EQ(run.exitCode, 128 + signal) << run.err;
    EXPECT_EQ(run.err.find("fatal\t"), std::string::npos) << run.err;
    size_t at = run.err.rfind("film03: stopped at ");
    ASSERT_NE(at, std::string::npos) << run.err;
    EXPECT_TRUE(run.err.substr(at + 19).starts_with(where)) << run.err;
    EXPECT_TRUE(run.err.ends_with(std::string(" (") + stopSignalName(signal) + ")\n")) << run.err;
}

bool videoIsWhole(const std::string& path) {
    return std::system(("ffprobe -v error '" + path + "'").c_str()) == 0;
}

// An ffmpeg in front of the real one (on PATH) that waits `muxDelay` seconds before it adds
// the sound. Returns the PATH that finds it first.
std::string slowMuxingFfmpeg(const TempDir& dir, int muxDelay) {
    const char* found = std::getenv("PATH");
    std::string path = found != nullptr ? found : "/usr/bin:/bin", real;
    std::istringstream folders(path);
    for (std::string folder; real.empty() && std::getline(folders, folder, ':');)
        if (access((folder + "/ffmpeg").c_str(), X_OK) == 0) real = folder + "/ffmpeg";
    std::string script = "#!/bin/sh\ncase \"$*\" in *+faststart*) sleep " +
                         std::to_string(muxDelay) + ";; esac\nexec '" + real + "' \"$@\"\n";
    std::filesystem::create_directory(dir.file("bin"));
    writeWholeFile(dir.file("bin/ffmpeg"), {script.begin(), script.end()});
    std::filesystem::permissions(dir.file("bin/ffmpeg"), std::filesystem::perms::owner_all);
    return dir.file("bin") + ":" + path;
}

// --- Each phase once, each signal at least once -------------------------------------------

struct PhaseCase {
    const char* phase;
    int signal;
    const char* arguments;
    const char* readyFile; // in the phase once it exists (none: once the handlers are in)
    const char* stoppedAt; // the start of the point the last line names
};

const PhaseCase kPhases[] = {
    // Noted before the loading begins, the signal stops it at its first step.
    {"loading", SIGINT, "--batch --fixed-step 5", nullptr, "loading"},
    // A key planned for the gamma screen holds it until then.
    {"gamma", SIGTERM, "--batch --fixed-step 5 --shots gamma:0 --keys gamma:900000:Enter",
     "gamma-0.png", "gamma:"},
    {"first", SIGHUP, "--batch --fixed-step 5 --seek first:20000 --shots first:20000",
     "first-20000.png", "first:"},
    {"second", SIGTERM, "--batch --fixed-step 5 --seek second:20000 --shots second:20000",
     "second-20000.png", "second:"},
    {"end", SIGHUP, "--batch --fixed-step 5 --seek end:1000 --shots end:1000", "end-1000.png",
     "end:"},
    {"recording", SIGINT, "--record out.mp4 --size 320x240 --seek first:20000",
     "out.video.part.nut", "first:"},
};

void PrintTo(const PhaseCase& phase, std::ostream* out) {
    *out << phase.phase;
}

class StopInPhase : public testing::TestWithParam<PhaseCase> {};

TEST_P(StopInPhase, EndsAsEscapeWouldAndPutsTheDesktopBack) {
    const PhaseCase& phase = GetParam();
    Film03Run run;
    prepareRun(run);
    run.signals[0] = phase.signal;
    runAndStop(run, phase.arguments, phase.readyFile != nullptr, [&](Film03Run& r) {
        return phase.readyFile != nullptr ? std::filesystem::exists(r.dir.file(phase.readyFile))
                                          : catches(r.pid, phase.signal);
    });
    expectStoppedAt(run, phase.signal, phase.stoppedAt);
    expectConfigurationKept(run);
    EXPECT_EQ(temporaryFiles(run.dir.path), std::vector<std::string>{});
    EXPECT_TRUE(phase.readyFile != nullptr || run.out.empty()) << "loaded something";
    if (std::string(phase.phase) == "recording") { // the video up to the stop, whole
        EXPECT_TRUE(videoIsWhole(run.dir.file("out.mp4")));
    }
}

std::string phaseName(const testing::TestParamInfo<PhaseCase>& param) {
    return param.param.phase;
}

INSTANTIATE_TEST_SUITE_P(Phases, StopInPhase, testing::ValuesIn(kPhases), phaseName);

// Sent together, so that the program cannot have ended before the second: whichever is
// handled second ends it at once, without the shutdown's last line.
TEST(StopTwice, EndsAtOnceYetPutsTheRampBackAndRemovesTheRecording) {
    const PhaseCase& recording = kPhases[5];
    Film03Run run;
    prepareRun(run);
    run.signals[0] = SIGINT;
    run.signals[1] = SIGTERM;
    runAndStop(run, recording.arguments, true, [&](Film03Run& r) {
        return std::filesystem::exists(r.dir.file(recording.readyFile));
    });
    EXPECT_TRUE(run.exitCode == 128 + SIGINT || run.exitCode == 128 + SIGTERM) << run.exitCode;
    EXPECT_EQ(run.err.find("stopped at"), std::string::npos) << run.err;
    EXPECT_EQ(temporaryFiles(run.dir.path), std::vector<std::string>{});
    EXPECT_FALSE(std::filesystem::exists(run.dir.file("out.mp4")));
    // The recording's progress line is ended, and a last line of its own says why.
    const std::string last =
        "film03: the recording ended at once; its unfinished files are removed\n";
    ASSERT_TRUE(run.err.ends_with(last)) << run.err;
    size_t at = run.err.size() - last.size();
    EXPECT_TRUE(at == 0 || run.err[at - 1] == '\n') << run.err;
}

// The second signal counts from the first: one 2.5 s later, while the stopped recording is
// still being finished, is noted again, and the run ends as the first asked, video kept.
TEST(StopTwice, ASecondSignalAfterTwoSecondsIsAnOrdinaryStop) {
    const PhaseCase& recording = kPhases[5];
    Film03Run run;
    prepareRun(run);
    run.path = slowMuxingFfmpeg(run.dir, 4);
    ASSERT_TRUE(startAndWait(run, recording.arguments, [&](Film03Run& r) {
        return std::filesystem::exists(r.dir.file(recording.readyFile));
    })) << run.err;
    kill(-run.pid, SIGINT);
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    ASSERT_FALSE(ended(run)) << "the muxing should still be running: " << run.err;
    kill(-run.pid, SIGTERM);
    waitForEnd(run);
    expectStoppedAt(run, SIGINT, "first:");
    EXPECT_TRUE(videoIsWhole(run.dir.file("out.mp4")));
    EXPECT_EQ(temporaryFiles(run.dir.path), std::vector<std::string>{});
}

// An immediate end whose restore hook blocks (the X server answers nothing) gives way to the
// default action of its signal after a second, or of a third signal at once. The signal that
// ended the run tells the two apart; a run that never gives way fails by its deadline. (How
// soon after the signal it ends is not measured from outside: on a busy machine the program
// may wait seconds for the processor.)
TEST(StopTwice, AStuckRestoreEndsByTheDefaultAction) {
    const struct {
        int third;         // sent 100 ms after the two, 0 for none
        int endedBy;       // the signal whose default action ends the run
        double atLeastSec; // the restore was waited for this long
    } cases[] = {{0, SIGTERM, 0.9}, {SIGHUP, SIGHUP, 0.0}};
    const PhaseCase& first = kPhases[2];
    for (const auto& c : cases) {
        SCOPED_TRACE(c.third);
        Film03Run run;
        prepareRun(run);
        ASSERT_TRUE(startAndWait(run, first.arguments, [&](Film03Run& r) {
            return std::filesystem::exists(r.dir.file(first.readyFile));
        })) << run.err;
        kill(sharedServer().pid(), SIGSTOP);
        auto sent = Clock::now();
        kill(-run.pid, SIGINT);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        kill(-run.pid, SIGTERM);
        if (c.third != 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            kill(-run.pid, c.third);
        }
        waitForEnd(run, 10);
        double seconds = std::chrono::duration<double>(Clock::now() - sent).count();
        kill(sharedServer().pid(), SIGCONT);
        EXPECT_GE(seconds, c.atLeastSec);
        EXPECT_EQ(run.exitCode, 1000 + c.endedBy);
    }
}

// A second signal while main returns and the program's objects are destroyed: the immediate
// end reads nothing that is being freed, and the program ends either way.
TEST(StopTwice, ASecondSignalDuringTheExitEndsCleanly) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        Film03Run run;
        prepareRun(run);
        ASSERT_TRUE(startAndWait(run, "--batch --fixed-step 50 --seek end:19000",
                                 [&](Film03Run& r) { return catches(r.pid, SIGINT); }));
        kill(-run.pid, SIGINT);
        // The last line is written just before main returns.
        auto deadline = Clock::now() + std::chrono::seconds(60);
        while (fileText(run.dir.file("err.txt")).find("stopped at") == std::string::npos &&
               !ended(run) && Clock::now() < deadline) {
        }
        kill(-run.pid, SIGTERM);
        waitForEnd(run);
        EXPECT_TRUE(run.exitCode == 128 + SIGINT || run.exitCode == 128 + SIGTERM)
            << run.exitCode << "\n"
            << run.err;
    }
}

// --- Boxes and dialogs -------------------------------------------------------------------

// An X connection of the test's own to the shared server.
struct Screen {
    Screen() : display(XOpenDisplay(sharedServer().name().c_str())) {}
    ~Screen() {
        if (display != nullptr) XCloseDisplay(display);
    }
    Display* display;
};

// The processes whose parent is pid.
std::vector<std::string> childrenOf(pid_t pid) {
    std::vector<std::string> children;
    std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks)) {
        std::istringstream list(fileText(task.path().string() + "/children"));
        for (std::string child; list >> child;) children.push_back(child);
    }
    return children;
}

// Without a configuration file a notice comes up before the dialog. A SIGTERM closes it as
// OK would, the dialog as Cancel, and the run ends through its shutdown. The box is the
// program's own window: no process of its own is left behind to hold its descriptors.
TEST(StopInBox, ClosesTheBoxAsItsDefaultAnswerAndEndsTheRun) {
    Screen screen;
    ASSERT_NE(screen.display, nullptr) << "Xvfb did not start";
    Film03Run run;
    prepareRun(run);
    std::filesystem::remove(run.dir.file(kConfigFileName));
    ASSERT_TRUE(startAndWait(run, "", [&](Film03Run&) {
        return waitForTopLevel(screen.display, std::string(kFileErrorCaption), 60) != 0;
    })) << run.err;
    EXPECT_EQ(childrenOf(run.pid), std::vector<std::string>{});
    kill(-run.pid, SIGTERM);
    waitForEnd(run);
    EXPECT_EQ(run.exitCode, 128 + SIGTERM) << run.err;
    EXPECT_EQ(run.err, "film03: stopped at configuration (SIGTERM)\n");
    EXPECT_FALSE(std::filesystem::exists(run.dir.file(kConfigFileName))) << "Cancel writes none";
}

// A copy killed while its box is up leaves nothing that answers for it: the next start on
// the display is the only copy.
TEST(StopInBox, AKilledCopyLeavesNoInstanceBehind) {
    Screen screen;
    ASSERT_NE(screen.display, nullptr) << "Xvfb did not start";
    Film03Run killed, next;
    ASSERT_TRUE(startAndWait(killed, "", [&](Film03Run&) {
        return waitForTopLevel(screen.display, std::string(kFileErrorCaption), 60) != 0;
    })) << killed.err;
    kill(-killed.pid, SIGKILL);
    waitForEnd(killed);
    start(next, "--batch");
    waitForEnd(next);
    EXPECT_EQ(next.err.find(kAlreadyRunning), std::string::npos) << next.err;
}

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
    Screen screen;
    ASSERT_NE(screen.display, nullptr) << "Xvfb did not start";
    Film03Run run;
    prepareRun(run);
    ASSERT_TRUE(startAndWait(run, "", [&](Film03Run&) {
        Window configuration =
            waitForTopLevel(screen.display, std::string(kConfigurationTitle), 60);
        if (configuration == 0 || dialog.onTop.empty()) return configuration != 0;
        clickAt(screen.display, configuration, dialog.x, dialog.y);
        return waitForTopLevel(screen.display, std::string(dialog.onTop), 30) != 0;
    })) << run.err;
    kill(-run.pid, dialog.signal);
    waitForEnd(run);
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
    Screen screen;
    ASSERT_NE(screen.display, nullptr) << "Xvfb did not start";
    Display* display = screen.display;
    Film03Run first, second;
    prepareRun(first);
    ASSERT_TRUE(startAndWait(first, "", [&](Film03Run&) {
        return waitForTopLevel(display, std::string(kConfigurationTitle), 60) != 0;
    })) << first.err;
    Window dialog = waitForTopLevel(display, std::string(kConfigurationTitle), 1);
    // A window of the test's own covers the screen above the dialog.
    Window cover =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1280, 1024, 0, 0, 0);
    XMapRaised(display, cover);
    XSync(display, False);
    EXPECT_TRUE(stackedAbove(display, cover, dialog));
    start(second, "--batch");
    waitForEnd(second);
    auto deadline = Clock::now() + std::chrono::seconds(30);
    while (!stackedAbove(display, dialog, cover) && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(stackedAbove(display, dialog, cover)) << "the dialog stayed behind";
    XDestroyWindow(display, cover);
    XSync(display, False);
    kill(-first.pid, SIGTERM);
    waitForEnd(first);
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(second.err, kAlreadyRunning);
    EXPECT_EQ(first.exitCode, 128 + SIGTERM) << first.err;
}

// The display connection lost after a stop was asked: the program ends there, with the line
// a stopped run ends with and 128 + the signal, instead of the library's exit(1). The case
// ends its X server, so it has one of its own.
TEST(DisplayLost, AfterAStopEndsWithTheStopsExitStatus) {
    PrivateDisplay server;
    ASSERT_FALSE(server.name().empty()) << "Xvfb did not start";
    const PhaseCase& first = kPhases[2];
    Film03Run run;
    prepareRun(run);
    start(run, first.arguments, server.name());
    auto deadline = Clock::now() + std::chrono::seconds(300);
    while (!ended(run) && !std::filesystem::exists(run.dir.file(first.readyFile)) &&
           Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_FALSE(ended(run)) << run.err;
    // Held so that the stop cannot finish before the server is gone.
    kill(server.pid(), SIGSTOP);
    kill(-run.pid, SIGINT);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    kill(server.pid(), SIGKILL);
    waitForEnd(run);
    EXPECT_EQ(run.exitCode, 128 + SIGINT) << run.err;
    EXPECT_NE(run.err.find("film03: the connection to the X server was lost\n"), std::string::npos)
        << run.err;
    EXPECT_TRUE(run.err.ends_with(" (SIGINT)\n")) << run.err;
}

} // namespace
