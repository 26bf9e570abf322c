#include "support/test_support.h"

#include <sys/wait.h>
#include <GL/gl.h>
#include <unistd.h>

#include <X11/Xlib.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/gl/gl_functions.h"

namespace {
BoxRecorder* activeRecorder = nullptr;
bool recorderAnswer = true;

bool recordBox(BoxKind kind, std::string_view caption, std::string_view text) {
    if (activeRecorder != nullptr)
        activeRecorder->boxes.push_back({kind, std::string(caption), std::string(text)});
    if (kind == BoxKind::Fatal) {
        std::fprintf(stderr, "%s\n", formatBatchLine(kind, caption, text, true).c_str());
    }
    return kind != BoxKind::Question || recorderAnswer;
}
} // namespace

BoxRecorder::BoxRecorder(bool answer) {
    activeRecorder = this;
    recorderAnswer = answer;
    failureState.boxRecorder = recordBox;
}

BoxRecorder::~BoxRecorder() {
    activeRecorder = nullptr;
    failureState.boxRecorder = nullptr;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zorx-test-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    path = made != nullptr ? made : pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

ScopedChdir::ScopedChdir(const std::string& path) {
    previous = std::filesystem::current_path().string();
    std::filesystem::current_path(path);
}

ScopedChdir::~ScopedChdir() {
    std::filesystem::current_path(previous);
}

namespace {

// An X server started without -noreset starts over whenever its last client leaves, and
// refuses connections meanwhile: SDL then falls back to its off-screen driver, where windows
// have no focus and no gamma ramp. The test program waits until the server takes a connection
// and keeps that one open to its end, so that its own windows coming and going never leave
// the server without clients.
void holdDisplayConnection() {
    static bool waited = false;
    const char* name = std::getenv("DISPLAY");
    if (waited || name == nullptr || *name == '\0') return;
    waited = true;
    Display* held = nullptr;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while ((held = XOpenDisplay(name)) == nullptr && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

} // namespace

HiddenGLWindow::HiddenGLWindow(int width, int height) {
    holdDisplayConnection();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    window = SDL_CreateWindow("zorx test", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width,
                              height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (window == nullptr) return;
    context = SDL_GL_CreateContext(window);
    if (context == nullptr) return;
    ok = SDL_GL_MakeCurrent(window, context) == 0;
    if (ok) loadGLFunctions();
}

HiddenGLWindow::~HiddenGLWindow() {
    if (context != nullptr) SDL_GL_DeleteContext(context);
    if (window != nullptr) SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

ToolRun runTool(const std::string& arguments, int timeoutSeconds) {
    TempDir dir;
    std::string command = "timeout -k 5 " + std::to_string(timeoutSeconds) +
                          " " ZORX_BIN_DIR "/demotool " + arguments + " >" +
                          shellQuoted(dir.file("out")) + " 2>" + shellQuoted(dir.file("err"));
    int status = std::system(command.c_str());
    ToolRun run;
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    // timeout reports a signal of its child as 128 + the signal, and a run it ended as 124.
    if (run.exitCode > 128) run.signal = run.exitCode - 128;
    if (run.exitCode == 124) run.signal = SIGTERM;
    std::vector<unsigned char> out = readWholeFile(dir.file("out")),
                               err = readWholeFile(dir.file("err"));
    run.out.assign(out.begin(), out.end());
    run.err.assign(err.begin(), err.end());
    return run;
}

unsigned texelTexture(const uint8_t texel[4]) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    return name;
}

std::vector<unsigned char> readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

void writeWholeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::string testdataDir() {
    const char* chosen = std::getenv("ZORX_TESTDATA");
    return chosen != nullptr && *chosen != '\0' ? std::string(chosen) : ZORX_TESTDATA_DIR;
}

std::string missingTestdata(const std::string& subfolder) {
    std::string folder = testdataDir();
    if (!subfolder.empty()) folder += "/" + subfolder;
    std::error_code error;
    if (std::filesystem::is_directory(folder, error)) return "";
    return "the shared test data folder " + folder +
           " is absent (set ZORX_TESTDATA to where it is)";
}

bool testdataRequired() {
    const char* required = std::getenv("ZORX_REQUIRE_TESTDATA");
    return required != nullptr && std::string(required) == "1";
}

std::string commandOutput(const std::string& command) {
    std::string output;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t length;
        while ((length = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, length);
        pclose(pipe);
    }
    return output;
}

std::vector<std::string> splitWords(const std::string& line) {
    std::vector<std::string> list;
    std::istringstream in(line);
    for (std::string word; in >> word;) list.push_back(word);
    return list;
}
