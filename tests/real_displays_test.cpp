// The demo on an X server that really changes modes (Xorg with the dummy video driver, two
// monitors DUMMY0 and DUMMY1): full screen switches the monitor's mode, every way of ending
// puts the desktop mode back, the mode is in force again after the loading dialog, and full
// screen goes on the monitor the configuration names.
// One server serves the whole program (CTest runs it as one test); it needs root and skips
// without Xorg or its dummy driver.
#include <algorithm>
#include <gtest/gtest.h>
#include <SDL.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>

#include "support/demo_runs.h"
#include "support/test_support.h"
#include "support/x_watch.h"

namespace {

const char* const kXorgConf = R"(Section "ServerFlags"
    Option "AutoAddDevices" "false"
EndSection
Section "Device"
    Identifier "dummy"
    Driver "dummy"
    VideoRam 256000
EndSection
Section "Monitor"
    Identifier "monitor"
    HorizSync 5.0 - 1000.0
    VertRefresh 5.0 - 200.0
EndSection
Section "Screen"
    Identifier "screen"
    Device "dummy"
    Monitor "monitor"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Modes "1280x1024" "1024x768" "800x600" "640x480"
    EndSubSection
EndSection
)";

const char* const kDummyDriver = "/usr/lib/xorg/modules/drivers/dummy_drv.so";

// Xorg on a free display number, started on first use and ended with the program. It shares
// the console's virtual terminal instead of switching to one of its own.
struct XorgServer {
    std::string whyNot; // empty when it runs
    TempDir dir;
    std::unique_ptr<PrivateDisplay> server;
    std::string name;

    XorgServer() {
        if (geteuid() != 0) {
            whyNot = "Xorg runs only as root";
        } else if (!std::filesystem::exists(kDummyDriver) ||
                   commandOutput("command -v Xorg && command -v xrandr").find("xrandr") ==
                       std::string::npos) {
            whyNot = "Xorg, its dummy video driver or xrandr is missing";
        } else {
            std::ofstream(dir.file("xorg.conf")) << kXorgConf;
            server = std::make_unique<PrivateDisplay>(std::vector<std::string>{
                "Xorg", "-config", dir.file("xorg.conf"), "-logfile", dir.file("xorg.log"),
                "-noreset", "-nolisten", "tcp", "-sharevts", "-novtswitch"});
            name = server->name();
            if (name.empty()) whyNot = "Xorg did not start (see its log)";
        }
    }
};

XorgServer& xorg() {
    static XorgServer server;
    return server;
}

std::string xrandr(const std::string& arguments) {
    return commandOutput("xrandr --display " + xorg().name + " " + arguments + " 2>&1");
}

// Where an output shows its picture: "1280x1024+0+0", empty when it is off. (The dummy
// driver may call an output that was given a mode "disconnected" until it is probed again.)
std::string outputPlace(const std::string& output) {
    std::istringstream lines(xrandr("--current"));
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with(output + " ")) continue;
        std::istringstream words(line.substr(output.size()));
        for (std::string word; words >> word;)
            if (word.find('x') != std::string::npos && word.find('+') != std::string::npos)
                return word;
        return "";
    }
    return "";
}

// The refresh rate SDL gives a monitor's mode of that size (the dummy driver's rates are
// not whole numbers); 0 when it has none.
int refreshRateOf(int monitor, int width, int height) {
    setenv("DISPLAY", xorg().name.c_str(), 1);
    int rate = 0;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return 0;
    SDL_DisplayMode mode;
    for (int i = 0; i < SDL_GetNumDisplayModes(monitor) && rate == 0; ++i)
        if (SDL_GetDisplayMode(monitor, i, &mode) == 0 && mode.w == width && mode.h == height)
            rate = mode.refresh_rate;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return rate;
}

// The demo's window on the server as "800x600+0+0" (empty while there is none).
std::string demoWindowPlace() {
    Display* display = XOpenDisplay(xorg().name.c_str());
    if (display == nullptr) return "";
    Window window = waitForTopLevel(display, "FILM 03 by KORAL", 0.2);
    XWindowAttributes shown;
    Window child = 0;
    int x = 0, y = 0;
    std::string place;
    if (window != 0 && XGetWindowAttributes(display, window, &shown) != 0 &&
        XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child))
        place = std::to_string(shown.width) + "x" + std::to_string(shown.height) + "+" +
                std::to_string(x) + "+" + std::to_string(y);
    XCloseDisplay(display);
    return place;
}

struct WatchedRun {
    int exitCode = -1;
    std::string err;
    bool switched = false; // the watched output showed the full-screen mode
    std::string window;    // where the demo's window was then
};

// Runs film03 in `dir` on the server and watches whether `output` shows `switchedPlace`;
// `watch` is called every 100 ms with the program's process (it may signal it) and whether
// the output shows it now.
WatchedRun runWatched(const std::string& dir, const std::string& arguments,
                      const std::string& output, const std::string& switchedPlace,
                      const std::function<void(pid_t, bool)>& watch) {
    static int runs = 0;
    std::string instance = "real_displays_" + std::to_string(++runs);
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(126);
        setenv("DISPLAY", xorg().name.c_str(), 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        setenv("FILM03_INSTANCE", instance.c_str(), 1);
        unsetenv("WAYLAND_DISPLAY");
        int err = open("err.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int out = open("out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1), dup2(err, 2);
        std::string command = "exec " ZORX_BIN_DIR "/film03 " + arguments;
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    WatchedRun run;
    int status = 0;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(180);
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            ADD_FAILURE() << "the run did not end";
            break;
        }
        bool switchedNow = outputPlace(output) == switchedPlace;
        if (!run.switched && switchedNow) run.window = demoWindowPlace();
        run.switched = run.switched || switchedNow;
        watch(pid, switchedNow);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(dir + "/err.txt");
    std::stringstream text;
    text << in.rdbuf();
    run.err = text.str();
    return run;
}

// A full-screen configuration of that size at the monitor's rate for it.
ConfigRecord fullScreenRecord(int monitor, int width, int height) {
    ConfigRecord record = demoRunRecord(width, height);
    record.block1.fullscreen = 1;
    record.block1.videoDevice = monitor;
    record.block1.refreshRate = refreshRateOf(monitor, width, height);
    return record;
}

const char* const kDesktop0 = "1280x1024+0+0";
const char* const kSwitched0 = "800x600+0+0";
const std::string kShortRun = "--batch --fixed-step 50 --seek end:19000";

class RealDisplay : public testing::Test {
  protected:
    void SetUp() override {
        if (!xorg().whyNot.empty()) GTEST_SKIP() << xorg().whyNot;
        ASSERT_EQ(outputPlace("DUMMY0"), kDesktop0) << xrandr("--current");
        ASSERT_GT(refreshRateOf(0, 800, 600), 0);
    }
    TempDir dir;
};

// How a run ends, and what the program then returns.
struct Ending {
    const char* name;
    std::string arguments;
    int signals;       // SIGTERMs sent once the mode is switched, 100 ms apart
    bool musicMissing; // the archive names no music: the loading ends with a fatal report
    int exitCode;
};

const Ending kEndings[] = {
    {"normal_end", kShortRun, 0, false, 0},
    {"escape", "--batch --fixed-step 50 --seek end:18000 --keys end:18500:Escape", 0, false, 0},
    {"fatal_report", kShortRun, 0, true, 1},
    {"sigterm", "--batch --fixed-step 50 --seek end:0", 1, false, 128 + SIGTERM},
    {"second_sigterm", "--batch --fixed-step 50 --seek end:0", 2, false, 128 + SIGTERM},
};

} // namespace

// Every way out of a switched mode leaves the desktop in its mode: this restore outlasts the
// program.
TEST_F(RealDisplay, EveryEndPutsTheDesktopModeBack) {
    for (const Ending& ending : kEndings) {
        SCOPED_TRACE(ending.name);
        TempDir run;
        prepareDemoFolder(run.path, fullScreenRecord(0, 800, 600));
        if (ending.musicMissing) {
            // A whole archive whose directory spells the music's name otherwise: it passes the
            // check at start and fails at "Loading Music...", in the switched mode.
            std::filesystem::remove(run.file("Film_03.dat"));
            std::vector<unsigned char> bytes = readWholeFile(ZORX_DATA_DIR "/Film_03.dat");
            const std::string name = "MusicIntro.ogg";
            auto at = std::search(bytes.begin(), bytes.end(), name.begin(), name.end());
            ASSERT_NE(at, bytes.end());
            at[5] = 'X';
            writeWholeFile(run.file("Film_03.dat"), bytes);
        }
        int sent = 0;
        WatchedRun watched =
            runWatched(run.path, ending.arguments, "DUMMY0", kSwitched0, [&](pid_t pid, bool now) {
                if (now && sent++ < ending.signals) kill(pid, SIGTERM);
            });
        EXPECT_TRUE(watched.switched) << "the mode never changed\n" << watched.err;
        EXPECT_EQ(watched.window, kSwitched0);
        EXPECT_EQ(watched.exitCode, ending.exitCode) << watched.err;
        EXPECT_EQ(outputPlace("DUMMY0"), kDesktop0) << xrandr("--current");
        if (ending.musicMissing)
            EXPECT_NE(watched.err.find("fatal\tZORX_OpenGL - FILE ERROR\t"), std::string::npos)
                << watched.err;
        else if (ending.signals == 1) // the immediate end says nothing
            EXPECT_TRUE(watched.err.ends_with(" (SIGTERM)\n")) << watched.err;
        else
            EXPECT_EQ(watched.err, "");
    }
}

// Two monitors side by side: full screen goes on the chosen one, switches only its mode and
// covers it; a monitor that is gone leaves the demo on the first, with a notice.
TEST_F(RealDisplay, FullScreenOnTheChosenMonitor) {
    xrandr("--addmode DUMMY1 1024x768");
    xrandr("--output DUMMY1 --mode 1024x768 --right-of DUMMY0");
    // Probed again, the output with a mode counts as connected (SDL lists only those).
    ASSERT_NE(xrandr("").find("DUMMY1 connected 1024x768+1280+0"), std::string::npos)
        << xrandr("--current");

    prepareDemoFolder(dir.path, fullScreenRecord(1, 800, 600));
    std::string firstMonitor;
    WatchedRun second =
        runWatched(dir.path, kShortRun, "DUMMY1", "800x600+1280+0", [&](pid_t, bool now) {
            if (now) firstMonitor = outputPlace("DUMMY0");
        });
    EXPECT_TRUE(second.switched) << second.err;
    EXPECT_EQ(second.window, "800x600+1280+0");
    EXPECT_EQ(firstMonitor, kDesktop0);
    EXPECT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(second.err, "");
    EXPECT_EQ(outputPlace("DUMMY1"), "1024x768+1280+0");

    TempDir gone;
    ConfigRecord record = fullScreenRecord(0, 800, 600);
    record.block1.videoDevice = 2;
    prepareDemoFolder(gone.path, record);
    WatchedRun first = runWatched(gone.path, kShortRun, "DUMMY0", kSwitched0, [](pid_t, bool) {});
    EXPECT_TRUE(first.switched) << first.err;
    EXPECT_EQ(first.window, kSwitched0);
    EXPECT_EQ(first.exitCode, 0);
    EXPECT_EQ(first.err, "notice\tATTENTION !\tThe monitor chosen for the demo (monitor 3) is "
                         "not connected !\\n\\nThe first monitor is used instead.\n");
    EXPECT_EQ(outputPlace("DUMMY0"), kDesktop0);
    EXPECT_EQ(outputPlace("DUMMY1"), "1024x768+1280+0");
    xrandr("--output DUMMY1 --off");
}

// Started without --batch, the configuration dialog confirmed with Enter: the loading dialog
// minimises the full-screen window (SDL then puts the desktop mode back), and afterwards the
// gamma screen is in the switched mode again, also where no window manager restores windows.
TEST_F(RealDisplay, SwitchedModeIsBackAfterTheLoadingDialog) {
    if (commandOutput("command -v xdotool").empty()) GTEST_SKIP() << "xdotool is missing";
    prepareDemoFolder(dir.path, fullScreenRecord(0, 800, 600));
    const std::string onServer = "DISPLAY=" + xorg().name + " timeout 60 xdotool search ";
    std::thread confirm([&] {
        commandOutput(onServer + "--sync --name '^KORAL Software - Configuration$' windowfocus "
                                 "--sync key Return");
    });
    bool loadingSeen = false, backAfterLoading = false, stopped = false;
    int pollsAfterLoading = 0;
    WatchedRun run = runWatched(dir.path, "", "DUMMY0", kSwitched0, [&](pid_t pid, bool now) {
        bool loading =
            !commandOutput(onServer + "--name '^KORAL Software - Application loading'").empty();
        loadingSeen = loadingSeen || loading;
        if (!loadingSeen || loading || stopped) return;
        backAfterLoading = now;
        stopped = now || ++pollsAfterLoading > 100; // 10 s for the gamma screen's mode
        if (stopped) kill(pid, SIGTERM);
    });
    confirm.join();
    EXPECT_TRUE(loadingSeen) << run.err;
    EXPECT_TRUE(backAfterLoading) << "the gamma screen is not in the switched mode";
    EXPECT_EQ(run.exitCode, 128 + SIGTERM) << run.err;
    EXPECT_EQ(outputPlace("DUMMY0"), kDesktop0);
}
