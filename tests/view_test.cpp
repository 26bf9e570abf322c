// demotool view on the real driver: pictures of the demo's hall from its camera, of 3DS files
// written by other programs, the fatal reports for missing and damaged files, and damaged
// variants of the reader's fuzz corpus, which must end in a report, never in a crash.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/system/failure.h"
#include "resources/images.h"
#include "resources/texture_record.h"
#include "support/test_support.h"
#include "tools/tool_report.h"

namespace {

namespace fs = std::filesystem;

struct CommandResult {
    int exitCode = -1;
    int signal = 0;
    std::string errors; // standard error
};

// Runs demotool view with the arguments, standard error captured; at most `seconds` long.
CommandResult view(const std::string& arguments, int seconds = 120) {
    ToolRun run = runTool("view " + arguments, seconds);
    CommandResult result;
    result.exitCode = run.exitCode, result.signal = run.signal, result.errors = run.err;
    return result;
}

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
    bool ok() const { return !rgba.empty(); }
};

Picture readPicture(const std::string& path) {
    Picture picture;
    std::vector<unsigned char> bytes = readWholeFile(path);
    if (bytes.empty()) return picture;
    TextureRecord record;
    if (decodeImageData(record, bytes.data(), bytes.size(), false) != DecodeResult::Ok)
        return picture;
    picture.width = record.width, picture.height = record.height;
    picture.rgba.assign(record.pixels, record.pixels + size_t(record.byteSize));
    releasePixels(record);
    return picture;
}

// Distinct colours (to 5 bits a channel), the mean brightness of a picture, and the share of
// its pixels in the strong greens and magentas of a normal map drawn as a plain texture.
struct PictureFigures {
    size_t colours = 0;
    double brightness = 0.0; // 0..255
    double normalMapShare = 0.0;
};
PictureFigures figures(const Picture& picture) {
    std::set<uint32_t> colours;
    double sum = 0.0;
    size_t normalMapColoured = 0;
    for (size_t i = 0; i + 3 < picture.rgba.size(); i += 4) {
        const uint8_t* p = &picture.rgba[i];
        colours.insert(uint32_t(p[0] >> 3) << 10 | uint32_t(p[1] >> 3) << 5 | uint32_t(p[2] >> 3));
        sum += (p[0] + p[1] + p[2]) / 3.0;
        bool green = p[1] > p[0] + 40 && p[1] > p[2] + 20;
        bool magenta = p[0] > p[1] + 60 && p[2] > p[1] + 60;
        if (green || magenta) ++normalMapColoured;
    }
    size_t pixels = picture.rgba.size() / 4;
    if (pixels == 0) return {};
    return {colours.size(), sum / double(pixels), double(normalMapColoured) / double(pixels)};
}

// Mean absolute difference per channel of two pictures of one size.
double difference(const Picture& a, const Picture& b) {
    if (a.rgba.size() != b.rgba.size() || a.rgba.empty()) return 0.0;
    double sum = 0.0;
    for (size_t i = 0; i < a.rgba.size(); ++i) sum += std::abs(int(a.rgba[i]) - int(b.rgba[i]));
    return sum / double(a.rgba.size());
}

// True when standard error is warning lines followed by one error line, in demotool's form.
bool isOneFatalLine(const std::string& errors) {
    const std::string head = "demotool: view: ", warning = head + "warning: ";
    size_t at = 0, lines = 0;
    while (at < errors.size()) {
        size_t end = errors.find('\n', at);
        if (end == std::string::npos) return false;
        bool last = end + 1 == errors.size();
        if (errors.compare(at, head.size(), head) != 0) return false;
        if ((errors.compare(at, warning.size(), warning) == 0) == last) return false;
        at = end + 1, ++lines;
    }
    return lines > 0;
}

// True when every line the tool wrote to standard error is a warning.
bool onlyWarnings(const std::string& errors) {
    auto count = [&](const std::string& head) {
        size_t found = 0;
        for (size_t at = ("\n" + errors).find(head); at != std::string::npos;
             at = ("\n" + errors).find(head, at + 1))
            ++found;
        return found;
    };
    // Lines of the system's libraries (a display probe, say) are not the tool's.
    return count("\ndemotool: view: ") == count("\ndemotool: view: warning: ");
}

std::string fatalLine(std::string_view text) {
    return "demotool: view: " + toolReportLine(BoxKind::Fatal, text, 0) + "\n";
}

bool displayAvailable() {
    HiddenGLWindow window;
    return window.ok;
}

const std::string kHall = ZORX_DATA_DIR "/Film_03.3ds";

TEST(ViewHall, Camera03AtThreeFramesGivesLitTexturedDifferentPictures) {
    if (!displayAvailable()) GTEST_SKIP() << "no display";
    if (!fs::exists(kHall)) GTEST_SKIP() << "no demo data: cmake --build build --target demo_data";
    TempDir dir;
    std::vector<Picture> pictures;
    for (int frame : {500, 2000, 4000}) {
        std::string shot = dir.file("hall-" + std::to_string(frame) + ".png");
        CommandResult run =
            view(shellQuoted(kHall) + " --camera Camera03 --frame " + std::to_string(frame) +
                 " --size 320x240 --shot " + shellQuoted(shot));
        ASSERT_EQ(run.exitCode, 0) << run.errors;
        EXPECT_EQ(run.errors, "");
        Picture picture = readPicture(shot);
        ASSERT_TRUE(picture.ok()) << shot;
        EXPECT_EQ(picture.width, 320);
        EXPECT_EQ(picture.height, 240);
        PictureFigures f = figures(picture);
        EXPECT_GT(f.brightness, 40.0) << "frame " << frame << " is lit";
        // An untextured, unshaded frame has a few dozen colours; the close view of the dark
        // logo against the brick wall has about 250.
        EXPECT_GT(f.colours, 150u) << "frame " << frame << " is textured and shaded";
        // The bump-mapped pillars are lit through their normal maps, not painted with them.
        EXPECT_LT(f.normalMapShare, 0.01) << "frame " << frame;
        pictures.push_back(picture);
    }
    EXPECT_GT(difference(pictures[0], pictures[1]), 10.0);
    EXPECT_GT(difference(pictures[1], pictures[2]), 10.0);
    EXPECT_GT(difference(pictures[0], pictures[2]), 10.0);

    // The same view without the texture files: the textures made the difference.
    std::string plain = dir.file("plain.png");
    CommandResult run = view(shellQuoted(kHall) +
                             " --camera Camera03 --frame 500 --size 320x240 "
                             "--no-textures --shot " +
                             shellQuoted(plain));
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_GT(difference(readPicture(plain), pictures[0]), 10.0);
}

TEST(ViewHall, TexturesComeFromTheBigfileBesideTheScene) {
    if (!displayAvailable()) GTEST_SKIP() << "no display";
    if (!fs::exists(kHall)) GTEST_SKIP() << "no demo data: cmake --build build --target demo_data";
    TempDir dir;
    fs::copy_file(kHall, dir.file("Film_03.3ds"));
    fs::copy_file(ZORX_DATA_DIR "/Film_03.dat", dir.file("Film_03.dat"));
    std::string fromArchive = dir.file("archive.png"), loose = dir.file("loose.png");
    const std::string options = " --camera Camera03 --frame 2000 --size 160x120 --shot ";
    CommandResult run =
        view(shellQuoted(dir.file("Film_03.3ds")) + options + shellQuoted(fromArchive));
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    run = view(shellQuoted(kHall) + options + shellQuoted(loose));
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_LT(difference(readPicture(fromArchive), readPicture(loose)), 0.5);
}

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string extension = entry.path().extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
        if (extension == ".3ds") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

void expectAPicture(const std::string& shot, const std::string& what) {
    Picture picture = readPicture(shot);
    ASSERT_TRUE(picture.ok()) << what;
    PictureFigures f = figures(picture);
    EXPECT_GT(f.colours, 1u) << what << " is one colour";
    EXPECT_GT(f.brightness, 0.5) << what << " is empty";
}

TEST(ViewFiles, EveryTestFileGivesAPicture) {
    if (!displayAvailable()) GTEST_SKIP() << "no display";
    SKIP_WITHOUT_TESTDATA("3ds");
    const std::string folder = testdataDir() + "/3ds";
    TempDir dir;
    std::vector<std::string> files = filesIn(folder);
    ASSERT_FALSE(files.empty());
    for (const std::string& file : files) {
        const std::string name = fs::path(file).filename().string();
        std::string shot = dir.file(name + ".png");
        CommandResult run =
            view(shellQuoted(file) + " --size 160x120 --no-textures --shot " + shellQuoted(shot));
        ASSERT_EQ(run.exitCode, 0) << name << ": " << run.errors;
        expectAPicture(shot, name);

        // With textures a file either draws or names the texture that cannot be used (a
        // missing file, a side that is no power of two): the engine's fatal report.
        std::string textured = dir.file(name + ".textured.png");
        run = view(shellQuoted(file) + " --size 160x120 --shot " + shellQuoted(textured));
        if (run.exitCode == 0) {
            expectAPicture(textured, name + " with textures");
        } else {
            EXPECT_EQ(run.exitCode, 1) << name;
            EXPECT_TRUE(isOneFatalLine(run.errors)) << name << ": " << run.errors;
        }
    }
}

TEST(ViewFailures, MissingAndDamagedFilesGiveTheReadersReports) {
    if (!displayAvailable()) GTEST_SKIP() << "no display";
    TempDir dir;
    CommandResult run =
        view(shellQuoted(dir.file("missing.3ds")) + " --shot " + shellQuoted(dir.file("x.png")));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.errors, "demotool: view: cannot open \"" + dir.file("missing.3ds") +
                              "\": No such file or directory\n");
    EXPECT_FALSE(fs::exists(dir.file("x.png"))) << "no picture after a fatal report";
    // A folder that does not exist: the report names the whole path (and no file of that name
    // in the working folder is read instead).
    const std::string nowhere = dir.file("no-folder/missing.3ds");
    run = view(shellQuoted(nowhere) + " --shot " + shellQuoted(dir.file("x.png")));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.errors,
              "demotool: view: cannot open \"" + nowhere + "\": No such file or directory\n");

    writeWholeFile(dir.file("text.3ds"), std::vector<unsigned char>(64, 'x'));
    run = view(shellQuoted(dir.file("text.3ds")) + " --shot " + shellQuoted(dir.file("x.png")));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.errors,
              fatalLine("Following file contains no valid 3DS format !\n\nFile :  text.3ds"));

    // A main chunk that claims more bytes than the file has.
    std::vector<unsigned char> cut = {0x4D, 0x4D, 0x00, 0x10, 0x00, 0x00, 0x02, 0x00,
                                      0x0A, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,
                                      0x3D, 0x3D, 0x00, 0x10, 0x00, 0x00};
    writeWholeFile(dir.file("cut.3ds"), cut);
    run = view(shellQuoted(dir.file("cut.3ds")) + " --no-textures --shot " +
               shellQuoted(dir.file("x.png")));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(isOneFatalLine(run.errors)) << run.errors;
    EXPECT_NE(run.errors.find("The 3DS file \"cut.3ds\" is damaged !"), std::string::npos)
        << run.errors;
}

TEST(ViewFailures, BadCommandLinesAndUnknownCameras) {
    EXPECT_EQ(view("").exitCode, 2);
    EXPECT_EQ(view("a.3ds --size 0x0").exitCode, 2);
    EXPECT_EQ(view("a.3ds --frames").exitCode, 2);
    if (!displayAvailable()) GTEST_SKIP() << "no display";
    if (!fs::exists(kHall)) GTEST_SKIP() << "no demo data: cmake --build build --target demo_data";
    TempDir dir;
    CommandResult run = view(shellQuoted(kHall) + " --no-textures --camera Camera99 --shot " +
                             shellQuoted(dir.file("x.png")));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.errors.find("no camera named 'Camera99'"), std::string::npos) << run.errors;
}

// Damaged variants of one file: cut at several lengths, and bytes overwritten at spread
// positions with values that make counts and lengths large or odd.
std::vector<std::vector<unsigned char>> damagedVariants(const std::vector<unsigned char>& file) {
    std::vector<std::vector<unsigned char>> variants;
    for (size_t cut : {size_t(7), size_t(23), file.size() / 3, file.size() - 1})
        if (cut < file.size()) variants.emplace_back(file.begin(), file.begin() + long(cut));
    uint32_t seed = 4357;
    for (int v = 0; v < 4; ++v) {
        std::vector<unsigned char> damaged = file;
        for (int n = 0; n < 6 && damaged.size() > 22; ++n) {
            seed = seed * 1103515245u + 12345u;
            size_t at = 22 + (seed >> 8) % (damaged.size() - 22);
            damaged[at] = (seed & 1) ? 0xFF : uint8_t(seed >> 24);
        }
        variants.push_back(damaged);
    }
    return variants;
}

TEST(ViewFuzzCorpus, EveryFileEndsInAPictureOrAReport) {
    if (!displayAvailable()) GTEST_SKIP() << "no display";
    const std::string folder = ZORX_SOURCE_DIR "/fuzz/corpus/reader3ds_fuzz";
    ASSERT_TRUE(fs::is_directory(folder));
    TempDir dir;
    int runs = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::vector<unsigned char> original = readWholeFile(entry.path().string());
        std::vector<std::vector<unsigned char>> files = damagedVariants(original);
        files.insert(files.begin(), original);
        for (size_t v = 0; v < files.size(); ++v) {
            const std::string what =
                entry.path().filename().string() + " variant " + std::to_string(v);
            std::string file = dir.file("scene.3ds");
            writeWholeFile(file, files[v]);
            CommandResult run = view(shellQuoted(file) + " --no-textures --size 64x48 --shot " +
                                         shellQuoted(dir.file("x.png")),
                                     60);
            ++runs;
            EXPECT_EQ(run.signal, 0) << what << " crashed or hung: " << run.errors;
            EXPECT_TRUE(run.exitCode == 0 || run.exitCode == 1) << what;
            if (run.exitCode == 1) {
                EXPECT_TRUE(isOneFatalLine(run.errors)) << what << run.errors;
            } else if (run.exitCode == 0) {
                EXPECT_TRUE(onlyWarnings(run.errors)) << what << run.errors;
            }
        }
    }
    EXPECT_GT(runs, 10);
}

} // namespace
