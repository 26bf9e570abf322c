// demotool as a command-line tool: every command given a missing, empty or damaged input (or
// an output it cannot write) ends with exactly one error line "demotool: COMMAND: ..." and
// exit code 1, never with an uncaught exception or a signal; how engine reports read so.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "image_files.h"
#include "support/test_support.h"
#include "tools/tool_report.h"

namespace {

TEST(DemotoolSweep, BadInputsAndOutputsEndInOneErrorLine) {
    TempDir dir;
    std::vector<unsigned char> garbage(3000);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t((i * 7919) >> 3);
    writeWholeFile(dir.file("garbage"), garbage);
    writeWholeFile(dir.file("empty"), {});
    const uint8_t grey[4] = {90, 90, 90, 255};
    ASSERT_TRUE(writePng(dir.file("in.png"), 4, 4, grey));
    // @ stands for the folder, % for the input.
    std::vector<std::string> runs = {"build-data @/garbage",       "build-data @/garbage/below",
                                     "resources @/garbage",        "pack @ @/in.png",
                                     "pack @/no/out.dat @/in.png", "decode @/in.png @/no/out.png",
                                     "decode @/in.png @"};
    // Each command on a missing file, one in a missing folder, an empty one, garbage and a
    // folder (but pack, for which any bytes make a bigfile member, not on garbage).
    for (std::string command :
         {"pack @/out.dat %", "list %", "extract % Film_03.3ds @/out", "decode % @/out.png",
          "inspect % --no-textures", "inspect % --json", "mix % @/out.wav", "flashes %",
          "view % --no-textures --size 64x48 --shot @/out.png"})
        for (const char* input : {"@/missing", "@/no/input", "@/empty", "@/garbage", "@"})
            if (!command.starts_with("pack") || input != std::string("@/garbage"))
                runs.push_back(std::string(command).replace(command.find('%'), 1, input));
    for (std::string run : runs) {
        for (size_t at = run.find('@'); at != std::string::npos; at = run.find('@'))
            run.replace(at, 1, dir.path);
        ToolRun result = runTool(run, 60);
        std::string command = run.substr(0, run.find(' '));
        SCOPED_TRACE(run + "\n" + result.err);
        EXPECT_EQ(result.signal, 0) << "ended by a signal or hung";
        EXPECT_EQ(result.exitCode, 1);
        // One line of the tool's own (a display probe of the system's libraries may add more).
        const std::string lines = "\n" + result.err, head = "\ndemotool: " + command + ": ";
        EXPECT_NE(lines.find(head), std::string::npos);
        EXPECT_EQ(lines.find("\ndemotool:", lines.find(head) + 1), std::string::npos);
        EXPECT_TRUE(result.err.ends_with("\n"));
        for (const char* sign : {"terminate", "internal error", "\t", "warning"})
            EXPECT_EQ(result.err.find(sign), std::string::npos) << sign;
    }
}

// A scene whose textures are not beside it: the line names the missing file and what to do.
TEST(DemotoolView, AMissingTextureNamesTheFileAndTheWayOut) {
    TempDir dir;
    ToolRun extract =
        runTool("extract " ZORX_DATA_DIR "/Film_03.dat Film_03.3ds " + dir.file("scene.3ds"), 60);
    ASSERT_EQ(extract.exitCode, 0) << extract.err;
    ToolRun view = runTool(
        "view " + dir.file("scene.3ds") + " --size 64x48 --shot " + dir.file("out.png"), 120);
    EXPECT_EQ(view.exitCode, 1);
    EXPECT_NE(view.err.find("demotool: view: cannot open \""), std::string::npos) << view.err;
    EXPECT_TRUE(view.err.ends_with("\": No such file or directory; textures are read from the "
                                   "scene's folder or a Film_03.dat there; --no-textures draws "
                                   "the scene without them\n"))
        << view.err;
}

// A recording of a strobe over the whole picture: three flashes a second pass (exit 0), four
// fail in the seconds that hold them (exit 3), each second on a line of its own.
TEST(DemotoolFlashes, StrobeRecordingsAgainstTheLimit) {
    if (commandOutput("command -v ffmpeg && command -v ffprobe").find("ffprobe") ==
        std::string::npos)
        GTEST_SKIP() << "ffmpeg or ffprobe is missing";
    TempDir dir;
    const struct {
        int period; // frames at 30 a second
        int exitCode;
        const char* lines;
    } cases[] = {
        {10, 0,
         "@/strobe.mkv: 90 frames at 30 fps, 32 x 24: 0 seconds with more than 3 flashes; "
         "the most in one second: 3 (second 1)\n"},
        {8, 3,
         "second 1: 4 general flashes over a quarter of the picture; 100 % of it flashes more "
         "than 3 times\nsecond 2: 4 general flashes over a quarter of the picture; 100 % of it "
         "flashes more than 3 times\n@/strobe.mkv: 90 frames at 30 fps, 32 x 24: 2 seconds "
         "with more than 3 flashes; the most in one second: 4 (second 1)\n"},
    };
    for (const auto& c : cases) {
        std::string period = std::to_string(c.period);
        ASSERT_EQ(std::system(("ffmpeg -v error -y -f lavfi -i nullsrc=s=32x24:r=30:d=3 -vf "
                               "\"geq=lum='255*lt(mod(N\\," +
                               period + ")\\," + period +
                               "/2)':cb=128:cr=128,format=yuv420p\" -c:v libx264 -qp 0 " +
                               dir.file("strobe.mkv"))
                                  .c_str()),
                  0);
        ToolRun run = runTool("flashes " + dir.file("strobe.mkv"), 60);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        std::string lines = c.lines;
        for (size_t at = lines.find('@'); at != std::string::npos; at = lines.find('@'))
            lines.replace(at, 1, dir.path);
        EXPECT_EQ(run.out, lines);
    }
}

TEST(DemotoolReports, EngineBoxesReadAsOneLine) {
    const struct {
        BoxKind kind;
        std::string text;
        int errorNumber;
        std::string line;
    } cases[] = {
        {BoxKind::Fatal, fileErrorText("x/y.3ds", ENOENT), ENOENT,
         "cannot open \"x/y.3ds\": No such file or directory"},
        {BoxKind::Fatal, "No \"a\" in bigfile : b\n\n" + std::string(kFileAccessText), ENOENT,
         "No \"a\" in bigfile : b"},
        {BoxKind::Notice, "Failed !\n\nReasons :\n- one\t!", 0,
         "warning: Failed ! Reasons : - one !"},
        {BoxKind::Question, "Overwrite ?", 0, "warning: Overwrite ? yes"},
    };
    for (const auto& c : cases) EXPECT_EQ(toolReportLine(c.kind, c.text, c.errorNumber), c.line);
}

// The reason named is the one of the failed call, whatever the report's own work does to
// errno before the line is written.
TEST(DemotoolReports, AFileErrorNamesTheReasonOfTheFailedCall) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            startToolReports("decode");
            setBoxPresenter({nullptr, [] { errno = EBADF; }});
            errno = EACCES;
            fatalFileError("x/y.png");
        },
        testing::ExitedWithCode(1),
        "^demotool: decode: cannot open \"x/y.png\": Permission denied\n$");
}

} // namespace
