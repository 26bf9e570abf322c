// The film03 program as a whole, started as its users start it, under the virtual X server.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>
#include <algorithm>
#include <cstring>

#include "config/configuration.h"
#include "platform/gl/gl_strings.h"
#include "platform/system/instance.h"
#include "render/capabilities.h"
#include "resources/bigfile.h"
#include "support/pictures.h"
#include "support/test_support.h"
#include "tools/bigfile_writer.h"

namespace {

struct ProgramRun {
    int exitCode = -1;
    std::string err;
    std::string out;
};

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs film03 in `dir`; each test has its own instance name so parallel tests do not meet.
ProgramRun runFilm03(const std::string& dir, const std::string& arguments,
                     const std::string& environment = "") {
    std::string tag = testing::UnitTest::GetInstance()->current_test_info()->name();
    std::string command = "cd '" + dir + "' && FILM03_INSTANCE=" + tag + " SDL_AUDIODRIVER=dummy " +
                          environment + " timeout -k 5 60 " + ZORX_BIN_DIR "/film03 " + arguments +
                          " >out.txt 2>err.txt";
    int status = std::system(command.c_str());
    ProgramRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = slurp(dir + "/err.txt");
    run.out = slurp(dir + "/out.txt");
    return run;
}

// Waits until the condition holds or the deadline passes; true when it held. The deadlines
// are generous: sanitizer builds on a loaded machine start slowly.
template <typename Condition>
bool waitFor(Condition condition, std::chrono::seconds deadline = std::chrono::seconds(120)) {
    auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// The single-instance socket's name for the given instance name.
std::string taggedInstanceName(const std::string& tag) {
    const char* old = std::getenv("FILM03_INSTANCE");
    std::string previous = old != nullptr ? old : "";
    setenv("FILM03_INSTANCE", tag.c_str(), 1);
    std::string name = instanceSocketName();
    if (old != nullptr)
        setenv("FILM03_INSTANCE", previous.c_str(), 1);
    else
        unsetenv("FILM03_INSTANCE");
    return name;
}

// True while a program listens on the single-instance socket of the given instance name.
bool instanceListening(const std::string& tag) {
    std::string name(1, '@'); // abstract names are listed with a leading @
    name += taggedInstanceName(tag);
    return slurp("/proc/net/unix").find(name) != std::string::npos;
}

// Listens on the single-instance socket as an interactive copy would; -1 when that fails.
int listenAsInstance(const std::string& tag) {
    std::string name = taggedInstanceName(tag);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    size_t length = std::min(name.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, name.data(), length);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    socklen_t size = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + length);
    if (fd >= 0 &&
        (bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(fd, 4) != 0)) {
        close(fd);
        fd = -1;
    }
    return fd;
}

ConfigRecord windowedRecord() {
    ConfigRecord record;
    record.block1.fullscreen = 0;
    record.block1.screenWidth = 320;
    record.block1.screenHeight = 240;
    record.block2.multisampling = 0;
    // As shipped: a software rasteriser has nothing to lower.
    record.block2.textureCompression = 0;
    record.block2.anisotropy = 1;
    return record;
}

void writeRecord(const std::string& dir, const ConfigRecord& record) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
    writeWholeFile(dir + "/" + kConfigFileName, {bytes, bytes + sizeof record});
}

std::string escaped(std::string text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\\n") : std::string(1, c);
    return out;
}

const std::string kNoWindow = "fatal\tWINDOWS ERROR\tCreating new window failed !\\nAn unknown "
                              "error occured when calling WinAPI-Function \"CreateWindowEx\" !\n";

const std::string kData = ZORX_DATA_DIR;

// The demo's bigfile as its entries, in order.
std::vector<BigfileInput> demoEntries() {
    const std::string archive = kData + "/Film_03.dat";
    const std::vector<unsigned char> bytes = readWholeFile(archive);
    std::vector<BigfileInput> entries;
    for (const BigfileEntry& entry : listBigfileEntries(archive)) {
        const auto* start = bytes.data() + entry.position;
        entries.push_back({entry.name, "test", {start, start + entry.size}});
    }
    return entries;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The start-up and the shutdown around the last second of the end screen.
const std::string kShortRun = "--batch --fixed-step 50 --seek end:19000";

// The demo's data in a run folder.
void linkData(const std::string& dir) {
    std::filesystem::create_symlink(kData + "/Film_03.dat", dir + "/Film_03.dat");
}

class Film03 : public testing::Test {
  protected:
    void SetUp() override {
        const char* display = std::getenv("DISPLAY");
        if (display == nullptr || *display == '\0') GTEST_SKIP() << "no display";
    }
    TempDir dir;
};

} // namespace

TEST_F(Film03, WindowedBatchRunOpensRunsAndEnds) {
    linkData(dir.path);
    writeRecord(dir.path, windowedRecord());
    ProgramRun run = runFilm03(dir.path, kShortRun);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::vector<unsigned char> saved = readWholeFile(dir.file(kConfigFileName));
    ASSERT_EQ(saved.size(), 80u);
    ConfigRecord expected = windowedRecord();
    EXPECT_EQ(std::memcmp(saved.data(), &expected, 80), 0);
}

// The driver of this machine, as the program asks it: a software rasteriser plays with
// compression and anisotropic filtering off for the run, with one notice; a graphics card
// keeps them. The saved file keeps them either way.
TEST_F(Film03, SoftwareRasteriserLowersSettingsForTheRunOnly) {
    GLStrings driver;
    {
        HiddenGLWindow window;
        if (!window.ok) GTEST_SKIP() << "no display";
        captureGLStrings();
        driver = glStrings;
    }
    const bool software = isSoftwareRasteriser(driver.renderer, driver.accelerated);
    linkData(dir.path);
    ConfigRecord record = windowedRecord();
    record.block2.textureCompression = 1;
    record.block2.anisotropy = 4;
    writeRecord(dir.path, record);
    ProgramRun run = runFilm03(dir.path, kShortRun);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string notice = "notice\tATTENTION !\tYour OpenGL driver \"" + driver.renderer +
                               "\" renders in software !\\nSo s3tc (texture compression) and 4x "
                               "anisotropic";
    EXPECT_EQ(linesOf(run.err).size(), software ? 1u : 0u) << run.err;
    EXPECT_EQ(run.err.starts_with(notice), software) << run.err;
    std::vector<unsigned char> saved = readWholeFile(dir.file(kConfigFileName));
    ASSERT_EQ(saved.size(), 80u);
    EXPECT_EQ(std::memcmp(saved.data(), &record, 80), 0);
}

// A damaged audio quality is named in the damaged-record notice and put back to 44.100 Hz,
// so that the demo plays with its music instead of silently.
TEST_F(Film03, AudioQualityOutsideTheListIsRepairedWithANotice) {
    linkData(dir.path);
    for (int32_t quality : {7, -1}) {
        ConfigRecord record = windowedRecord();
        record.block1.audioQuality = quality;
        writeRecord(dir.path, record);
        ProgramRun run = runFilm03(dir.path, "--batch --fixed-step 50 --seek first:49500 "
                                             "--keys second:100:Escape,end:100:Escape");
        EXPECT_EQ(run.exitCode, 0) << quality << "\n" << run.err;
        const std::string named = "\\n- Audio Quality : " + std::to_string(quality) + " -> 0\\n";
        EXPECT_EQ(linesOf(run.err).size(), 1u) << run.err;
        EXPECT_TRUE(run.err.starts_with("notice\tZORX_OpenGL - FILE ERROR\t")) << run.err;
        EXPECT_NE(run.err.find(named), std::string::npos) << run.err;
        record.block1.audioQuality = 0;
        std::vector<unsigned char> saved = readWholeFile(dir.file(kConfigFileName));
        ASSERT_EQ(saved.size(), 80u);
        EXPECT_EQ(std::memcmp(saved.data(), &record, 80), 0) << quality;
    }
}

TEST_F(Film03, MultisamplingStepsDownToWhatTheDriverOffers) {
    linkData(dir.path);
    ConfigRecord record = windowedRecord();
    record.block2.multisampling = 6;
    writeRecord(dir.path, record);
    ProgramRun run = runFilm03(dir.path, kShortRun);
    EXPECT_EQ(run.exitCode, 0);
    const std::string tail =
        " failed !\\nSo your video card or driver does not support this number of samples."
        "\\n\\nPlease don't select this number of samples again in the configuration interface."
        "\\nThe application will try to use a lower number of samples now...\n";
    EXPECT_EQ(run.err, "notice\tATTENTION !\tChoosing a PixelFormat supporting 8x MultiSampling" +
                           tail +
                           "notice\tATTENTION !\tChoosing a PixelFormat supporting 6x "
                           "MultiSampling" +
                           tail);
    std::vector<unsigned char> saved = readWholeFile(dir.file(kConfigFileName));
    ASSERT_EQ(saved.size(), 80u);
    EXPECT_EQ(saved[56], 4); // the saved record holds 4 (4x MultiSampling with 4Taps)
}

// The built-in defaults ask for 1024 x 768 at 75 Hz full screen, which the virtual server
// lacks: they play as the window covering the desktop, after the configuration's notices.
TEST_F(Film03, BuiltInDefaultsPlayInBatch) {
    linkData(dir.path);
    ProgramRun run = runFilm03(dir.path, kShortRun);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::string fileText =
        "File : ConfigEngine.cfg\\n\\nThe system says : " + std::string(std::strerror(ENOENT)) +
        "\\n\\n" + escaped(std::string(kFileAccessText));
    std::vector<std::string> lines = linesOf(run.err);
    ASSERT_EQ(lines.size(), 5u) << run.err;
    EXPECT_EQ(lines[0], "notice\tZORX_OpenGL - FILE ERROR\t" + fileText +
                            "\\n\\nUsing default configuration now...");
    EXPECT_EQ(lines[1], "notice\tZORX_OpenGL - FILE ERROR\tThe configuration file "
                        "\"ConfigEngine.cfg\" is invalid or damaged !\\n\\nUsing default "
                        "configuration now...");
    EXPECT_EQ(lines[2], "notice\tATTENTION !\tThe display has no video mode 1024 x 768 x 32 bpp "
                        "at 75 Hz !\\n\\nThe demo plays in full screen at the desktop's mode, "
                        "its pictures drawn at 1024 x 768 and scaled to the screen.");
    EXPECT_TRUE(lines[3].find("\" renders in software !") != std::string::npos) << lines[3];
    // The saves are refused: told once, with the file's folder.
    EXPECT_EQ(lines[4], "notice\tZORX_OpenGL - FILE ERROR\tFile : " +
                            std::filesystem::canonical(dir.path).string() + "/" + kConfigFileName +
                            "\\n\\nThe system says : " + std::strerror(ENOENT) + "\\n\\n" +
                            escaped(std::string(kFileAccessText)) +
                            "\\n\\nThe demo goes on; the configuration is not saved in this run.");
    EXPECT_FALSE(std::filesystem::exists(dir.file(kConfigFileName)));
}

TEST_F(Film03, FullScreenInTheDesktopsOnlyMode) {
    linkData(dir.path);
    SDL_InitSubSystem(SDL_INIT_VIDEO);
    SDL_DisplayMode desktop;
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &desktop), 0);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    ConfigRecord record = windowedRecord();
    record.block1.fullscreen = 1;
    record.block1.screenWidth = desktop.w;
    record.block1.screenHeight = desktop.h;
    record.block1.refreshRate = desktop.refresh_rate;
    writeRecord(dir.path, record);
    ProgramRun run = runFilm03(dir.path, kShortRun);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
}

// A size the display lacks, offered at the rate "?": full screen covers the desktop and
// shows the frames, still drawn and read back at the configured size, scaled.
TEST_F(Film03, FullScreenInASizeTheDisplayLacksIsShownScaled) {
    linkData(dir.path);
    ConfigRecord record = windowedRecord();
    record.block1.fullscreen = 1;
    record.block1.screenWidth = 640;
    record.block1.screenHeight = 480;
    record.block1.refreshRate = 0;
    writeRecord(dir.path, record);
    ProgramRun run = runFilm03(dir.path, kShortRun + " --shots end:19000");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    RgbPicture shot = readPngRgb(dir.file("end-19000.png"));
    EXPECT_EQ(shot.width, 640);
    EXPECT_EQ(shot.height, 480);
    EXPECT_TRUE(std::any_of(shot.pixels.begin(), shot.pixels.end(), [](uint8_t value) {
        return value > 64;
    })) << "the end screen is missing";
}

TEST_F(Film03, SecondStartRaisesTheFirstAndEndsAtOnce) {
    linkData(dir.path);
    writeRecord(dir.path, windowedRecord());
    std::string tag = testing::UnitTest::GetInstance()->current_test_info()->name();
    pid_t first = fork();
    ASSERT_GE(first, 0);
    if (first == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL); // ends with the test program
        if (chdir(dir.path.c_str()) != 0) _exit(99);
        setenv("FILM03_INSTANCE", tag.c_str(), 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        int quiet = open("first.err", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(quiet, 2);
        int lines = open("first.out", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(lines, 1);
        execl(ZORX_BIN_DIR "/film03", "film03", "--batch", "--fixed-step", "50", "--seek",
              "end:19000", static_cast<char*>(nullptr));
        _exit(98);
    }
    int status = 0;
    pid_t ended = 0;
    bool listening = waitFor([&] {
        if (ended == 0) ended = waitpid(first, &status, WNOHANG);
        return ended != 0 || instanceListening(tag);
    });
    ASSERT_TRUE(listening && ended == 0)
        << "the first never listened: " << slurp(dir.file("first.err"));

    // The second start finds the first at once: it reads no configuration (there is none
    // here, which would show notices), runs no demo of its own and says why it ends.
    TempDir second;
    ProgramRun run = runFilm03(second.path, "--batch");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, kAlreadyRunning);
    EXPECT_EQ(run.out, "");

    waitFor([&] { return (ended = waitpid(first, &status, WNOHANG)) != 0; });
    if (ended == 0) {
        kill(first, SIGKILL);
        waitpid(first, &status, 0);
        FAIL() << "the first did not end";
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << slurp(dir.file("first.err"));
}

// The single-instance rule is for the interactive demo: a recording and a benchmark are jobs
// that run whatever else is open, and end with their file.
TEST_F(Film03, JobsRunWhileAnInteractiveCopyIsOpen) {
    linkData(dir.path);
    writeRecord(dir.path, windowedRecord());
    std::string tag = testing::UnitTest::GetInstance()->current_test_info()->name();
    int instance = listenAsInstance(tag);
    ASSERT_GE(instance, 0);
    ProgramRun interactive = runFilm03(dir.path, "--batch");
    EXPECT_EQ(interactive.exitCode, 0);
    EXPECT_EQ(interactive.err, kAlreadyRunning);
    ProgramRun benchmark = runFilm03(dir.path, "--benchmark times.json --seek end:19000");
    EXPECT_EQ(benchmark.exitCode, 0) << benchmark.err;
    EXPECT_NE(slurp(dir.file("times.json")).find("\"sequences\""), std::string::npos);
    ProgramRun record = runFilm03(dir.path, "--record clip.mkv --seek end:19500");
    EXPECT_EQ(record.exitCode, 0) << record.err;
    EXPECT_GT(std::filesystem::file_size(dir.file("clip.mkv")), 0u);
    close(instance);
}

// Without a display the user is told so before anything else, and how to make a video
// instead; a window system named to SDL that cannot open is the window's failure.
TEST_F(Film03, NoDisplayIsToldBeforeAnythingElse) {
    linkData(dir.path);
    writeRecord(dir.path, windowedRecord());
    for (const char* arguments : {"", "--batch"}) {
        ProgramRun run =
            runFilm03(dir.path, arguments, "DISPLAY= WAYLAND_DISPLAY= SDL_VIDEODRIVER=");
        EXPECT_EQ(run.exitCode, 1) << arguments;
        EXPECT_EQ(run.err, "fatal\tWINDOWS ERROR\tNo display was found !\\n\\nNeither DISPLAY nor "
                           "WAYLAND_DISPLAY is set, so no window can open.\\nStart FILM 03 on a "
                           "desktop, or record it as a video on a virtual X server :\\n\\n"
                           "xvfb-run -a film03 --record film03.mp4\n")
            << arguments;
    }
    ProgramRun run =
        runFilm03(dir.path, "--batch", "DISPLAY= WAYLAND_DISPLAY= SDL_VIDEODRIVER=x11");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, kNoWindow);
}

// A missing archive is found before the configuration is read or the dialog opens; the
// report names the folders searched.
TEST_F(Film03, MissingDataIsToldBeforeTheDialog) {
    for (const char* arguments : {"--batch", "--record clip.mp4"}) {
        ProgramRun run = runFilm03(dir.path, arguments);
        EXPECT_EQ(run.exitCode, 1) << arguments;
        EXPECT_EQ(run.err, "fatal\tZORX_OpenGL - FILE ERROR\tThe demo's data \"Film_03.dat\" was "
                           "not found !\\n\\nFolders searched :\\n- " +
                               std::filesystem::canonical(dir.path).string() +
                               " (the working folder)\n")
            << arguments;
    }
}

// A run ends cleanly: exit code 0 without a fatal report, or 1 with exactly one, as the last
// line; every line on standard error is a box; the configuration file is still whole.
void expectCleanEnd(const ProgramRun& run, const TempDir& dir, const std::string& what) {
    ASSERT_TRUE(run.exitCode == 0 || run.exitCode == 1) << what << ": " << run.exitCode << "\n"
                                                        << run.err;
    std::vector<std::string> lines = linesOf(run.err);
    for (const std::string& line : lines)
        EXPECT_TRUE(line.starts_with("fatal\t") || line.starts_with("notice\t") ||
                    line.starts_with("question\t"))
            << what << ": " << line;
    auto fatal = [](const std::string& line) { return line.starts_with("fatal\t"); };
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), fatal), run.exitCode) << what;
    if (run.exitCode == 1) {
        EXPECT_TRUE(fatal(lines.back())) << what;
    }
    EXPECT_EQ(readWholeFile(dir.file(kConfigFileName)).size(), 80u) << what;
}

// Random configuration files play: every field no control offers falls back to its default
// with a notice and is saved so, and what the display or the driver cannot honour is lowered
// with a notice and saved so; the next start needs no notice (the software rasteriser lowers
// for each run anew).
TEST_F(Film03, AnyConfigurationBytesPlay) {
    linkData(dir.path);
    std::mt19937 random(4357);
    for (int round = 0; round < 4; ++round) {
        ConfigRecord record;
        auto* bytes = reinterpret_cast<unsigned char*>(&record);
        for (size_t i = 0; i < sizeof record; ++i) bytes[i] = static_cast<unsigned char>(random());
        writeRecord(dir.path, record);
        std::string what = "round " + std::to_string(round);
        ProgramRun run = runFilm03(dir.path, kShortRun);
        expectCleanEnd(run, dir, what);
        EXPECT_EQ(run.exitCode, 0) << what << "\n" << run.err;
        EXPECT_NE(run.err.find("holds settings that no choice of the configuration dialogs"),
                  std::string::npos)
            << what << "\n"
            << run.err;
        ProgramRun again = runFilm03(dir.path, kShortRun);
        expectCleanEnd(again, dir, what + ", again");
        EXPECT_EQ(again.exitCode, 0) << what << "\n" << again.err;
        std::vector<std::string> lines = linesOf(again.err);
        std::erase_if(lines, [](const std::string& line) {
            return line.find("\" renders in software !\\n") != std::string::npos;
        });
        EXPECT_TRUE(lines.empty()) << what << "\n" << again.err;
    }
}

// A run folder with the shipped configuration and the given bigfile.
void prepareRun(const std::string& dir, const std::vector<unsigned char>& bigfile) {
    writeWholeFile(dir + "/" + kConfigFileName, readWholeFile(kData + "/" + kConfigFileName));
    writeWholeFile(dir + "/Film_03.dat", bigfile);
}

std::vector<unsigned char> packed(const std::vector<BigfileInput>& entries, const TempDir& dir) {
    EXPECT_TRUE(writeBigfile(dir.file("packed.dat"), entries));
    return readWholeFile(dir.file("packed.dat"));
}

// Damaged data ends the run with one fatal report as the last line of standard error and
// exit code 1, after the configuration was saved whole.
void expectFatalEnd(const TempDir& dir, const std::string& what, const std::string& caption) {
    ProgramRun run = runFilm03(dir.path, "--batch --fixed-step 40");
    EXPECT_EQ(run.exitCode, 1) << what << "\n" << run.err;
    std::vector<std::string> lines = linesOf(run.err);
    ASSERT_FALSE(lines.empty()) << what;
    EXPECT_TRUE(lines.back().starts_with("fatal\t" + caption + "\t"))
        << what << ": " << lines.back();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) { return line.starts_with("fatal\t"); }),
              1)
        << what << "\n"
        << run.err;
    EXPECT_EQ(readWholeFile(dir.file(kConfigFileName)).size(), 80u) << what;
}

TEST_F(Film03, DamagedDataEndsWithAFatalReport) {
    const std::vector<BigfileInput> entries = demoEntries();
    ASSERT_GT(entries.size(), 20u) << "build demo_data";
    TempDir scratch;

    // An archive cut short is named, whole path and all, before anything else happens.
    std::vector<unsigned char> whole = packed(entries, scratch);
    prepareRun(dir.path, {whole.begin(), whole.begin() + whole.size() / 2});
    expectFatalEnd(dir, "cut short", "ZORX_OpenGL - FILE ERROR");
    ProgramRun cut = runFilm03(dir.path, "--batch --fixed-step 40");
    EXPECT_EQ(cut.out, "");
    EXPECT_TRUE(cut.err.starts_with("fatal\tZORX_OpenGL - FILE ERROR\tThe demo's data \"" +
                                    dir.file("Film_03.dat") + "\" is damaged or incomplete !"))
        << cut.err;

    for (const char* missing : {"Film_03.3ds", "Flare13.png", "Sound09.mp3"}) {
        std::vector<BigfileInput> without = entries;
        std::erase_if(without, [&](const BigfileInput& entry) { return entry.name == missing; });
        ASSERT_EQ(without.size(), entries.size() - 1);
        prepareRun(dir.path, packed(without, scratch));
        expectFatalEnd(dir, std::string("without ") + missing, "ZORX_OpenGL - FILE ERROR");
    }

    for (int damage = 0; damage < 2; ++damage) {
        std::vector<BigfileInput> damaged = entries;
        for (BigfileInput& entry : damaged) {
            if (entry.name != "Film_03.3ds") continue;
            if (damage == 0) {
                entry.bytes.resize(entry.bytes.size() / 2); // chunks run past the end
            } else {
                // A chunk deep inside claims more bytes than the file has.
                const size_t at = entry.bytes.size() / 3;
                for (size_t i = at; i < at + 64; ++i) entry.bytes[i] = 0xFF;
            }
        }
        prepareRun(dir.path, packed(damaged, scratch));
        expectFatalEnd(dir, "damaged 3DS " + std::to_string(damage), "3DS-FILE ERROR");
    }
}

TEST(Film03CommandLine, ExitCodes) {
    std::string bin = ZORX_BIN_DIR "/film03";
    auto status = [&](const std::string& arguments) {
        int raw = std::system((bin + " " + arguments + " >/dev/null 2>&1").c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    };
    EXPECT_EQ(status("--help"), 0);
    EXPECT_EQ(status("--version"), 0);
    EXPECT_EQ(status("--answer perhaps"), 2);
}
