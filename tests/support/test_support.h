// Test helpers: recording the boxes the program shows, temporary folders, a hidden GL window.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/system/failure.h"

struct RecordedBox {
    BoxKind kind;
    std::string caption;
    std::string text;
};

// Records every box instead of showing it; questions are answered with `answer`.
// Fatal reports still end the process (use death tests for them).
struct BoxRecorder {
    explicit BoxRecorder(bool answer = true);
    ~BoxRecorder();
    std::vector<RecordedBox> boxes;
};

// The words of a command line, split at blanks.
std::vector<std::string> splitWords(const std::string& line);

// A fresh empty folder under the system's temporary folder, removed at destruction.
struct TempDir {
    TempDir();
    ~TempDir();
    std::string path;
    std::string file(const std::string& name) const { return path + "/" + name; }
};

// Switches the working directory for the lifetime of the object.
struct ScopedChdir {
    explicit ScopedChdir(const std::string& path);
    ~ScopedChdir();
    std::string previous;
};

// A hidden SDL window with a GL compatibility context made current. ok is false where no
// display is available (tests then GTEST_SKIP).
struct HiddenGLWindow {
    HiddenGLWindow(int width = 64, int height = 64);
    ~HiddenGLWindow();
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    bool ok = false;
};

// demotool run with the arguments (shell words), its standard output and error captured
// apart. A run longer than timeoutSeconds is ended; a signal that ended it is in `signal`.
struct ToolRun {
    int exitCode = -1;
    int signal = 0;
    std::string out, err;
};
ToolRun runTool(const std::string& arguments, int timeoutSeconds);
std::string shellQuoted(const std::string& text);
// What a shell command writes on standard output.
std::string commandOutput(const std::string& command);

// A new 2D texture of one RGBA texel, nearest-filtered, left bound on the active unit.
unsigned texelTexture(const uint8_t texel[4]);

std::vector<unsigned char> readWholeFile(const std::string& path);
void writeWholeFile(const std::string& path, const std::vector<unsigned char>& bytes);

// The shared test data (image suites, 3DS files): ZORX_TESTDATA when set, else the folder
// named at build time.
std::string testdataDir();
// Empty when the test data folder (or the given folder inside it) exists, else why not.
std::string missingTestdata(const std::string& subfolder = "");
// True when ZORX_REQUIRE_TESTDATA=1: a missing folder is then a failure, not a skip.
bool testdataRequired();

// Skips the current test when the test data is absent, or fails it where it is required.
#define SKIP_WITHOUT_TESTDATA(subfolder)                                                           \
    do {                                                                                           \
        std::string zorxMissing = missingTestdata(subfolder);                                      \
        if (!zorxMissing.empty()) {                                                                \
            if (testdataRequired()) FAIL() << zorxMissing << " (ZORX_REQUIRE_TESTDATA=1)";         \
            GTEST_SKIP() << zorxMissing;                                                           \
        }                                                                                          \
    } while (false)
