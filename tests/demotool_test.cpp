// demotool as a command-line tool: every command given a missing, empty or damaged input (or
// an output it cannot write) ends with exactly one error line "demotool: COMMAND: ..." and
// exit code 1, never with an uncaught exception or a signal; how the engine's reports read in
// that form; --help and --version.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "image_files.h"
#include "support/test_support.h"
#include "tools/tool_report.h"

namespace {

const std::string kTool = ZORX_BIN_DIR "/demotool";

struct Sweep {
    const char* command;
    std::string arguments; // {IN} is the input file, {DIR} a writable folder
};

std::string substituted(std::string text, const std::string& input, const std::string& dir) {
    for (auto [key, value] : {std::pair{"{IN}", input}, {"{DIR}", dir}})
        for (size_t at = text.find(key); at != std::string::npos; at = text.find(key))
            text.replace(at, std::string(key).size(), value);
    return text;
}

void expectOneErrorLine(const ToolRun& run, const std::string& command, const std::string& what) {
    SCOPED_TRACE(what + "\n" + run.err);
    EXPECT_EQ(run.signal, 0) << "ended by a signal or hung";
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << "one line";
    EXPECT_TRUE(run.err.starts_with("demotool: " + command + ": "));
    for (const char* sign : {"terminate", "internal error", "\t", "warning"})
        EXPECT_EQ(run.err.find(sign), std::string::npos) << sign;
}

TEST(DemotoolSweep, MissingEmptyAndGarbageInputsEndInOneErrorLine) {
    TempDir dir;
    std::vector<unsigned char> garbage(3000);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t((i * 7919) >> 3);
    writeWholeFile(dir.file("garbage"), garbage);
    writeWholeFile(dir.file("empty"), {});
    const std::string inputs[] = {dir.file("no/such/input"), dir.file("missing"), dir.file("empty"),
                                  dir.file("garbage"), dir.path};
    const Sweep sweeps[] = {
        {"pack", "{DIR}/out.dat {IN}"},
        {"list", "{IN}"},
        {"extract", "{IN} Film_03.3ds {DIR}/out"},
        {"decode", "{IN} {DIR}/out.png"},
        {"inspect", "{IN} --no-textures"},
        {"inspect", "{IN} --json"},
        {"view", "{IN} --no-textures --size 64x48 --shot {DIR}/out.png"},
        {"mix", "{IN} {DIR}/out.wav"},
    };
    for (const Sweep& sweep : sweeps) {
        for (const std::string& input : inputs) {
            // Any bytes make a bigfile member.
            if (std::string(sweep.command) == "pack" && input == dir.file("garbage")) continue;
            std::string arguments = substituted(sweep.arguments, input, dir.path);
            expectOneErrorLine(runTool(std::string(sweep.command) + " " + arguments, 60),
                               sweep.command, arguments);
        }
    }
}

// The folders the generators write into, and outputs that cannot be written.
TEST(DemotoolSweep, UnwritableOutputsEndInOneErrorLine) {
    TempDir dir;
    writeWholeFile(dir.file("file"), {1, 2, 3});
    const uint8_t grey[4] = {90, 90, 90, 255};
    ASSERT_TRUE(writePng(dir.file("in.png"), 4, 4, grey));
    const Sweep sweeps[] = {
        {"build-data", "{DIR}/file"},
        {"build-data", "{DIR}/file/below"},
        {"resources", "{DIR}/file"},
        {"pack", "{DIR} {DIR}/in.png"},
        {"pack", "{DIR}/no/folder.dat {DIR}/in.png"},
        {"decode", "{DIR}/in.png {DIR}/no/folder.png"},
        {"decode", "{DIR}/in.png {DIR}"},
    };
    for (const Sweep& sweep : sweeps) {
        std::string arguments = substituted(sweep.arguments, "", dir.path);
        expectOneErrorLine(runTool(std::string(sweep.command) + " " + arguments, 60), sweep.command,
                           arguments);
    }
}

TEST(DemotoolReports, EngineBoxesReadAsOneLine) {
    struct Case {
        BoxKind kind;
        std::string text;
        int errorNumber;
        std::string line;
    } cases[] = {
        {BoxKind::Fatal, fileErrorText("x/y.3ds"), ENOENT,
         "cannot open \"x/y.3ds\": No such file or directory"},
        {BoxKind::Fatal, fileErrorText("x.3ds"), 0, "cannot open \"x.3ds\""},
        {BoxKind::Fatal,
         "The file \"a.png\" was not found in bigfile : b.dat\n\n" + std::string(kFileAccessText),
         ENOENT, "The file \"a.png\" was not found in bigfile : b.dat"},
        {BoxKind::Fatal, "File : a of BigFile b\n\nCould not read 4 Bytes from this file !", 0,
         "File : a of BigFile b Could not read 4 Bytes from this file !"},
        {BoxKind::Fatal, "Loading failed !\n\nPOSSIBLE reasons :\n- one\n- two\t!", 0,
         "Loading failed ! POSSIBLE reasons : - one - two !"},
        {BoxKind::Notice, "The mesh has 1 bad vertex !\nThe values are QNANs", 0,
         "warning: The mesh has 1 bad vertex ! The values are QNANs"},
        {BoxKind::Question, "The file \"A.UNC\" already exists ! Overwrite ?", 0,
         "warning: The file \"A.UNC\" already exists ! Overwrite ? yes"},
    };
    for (const Case& c : cases) EXPECT_EQ(toolReportLine(c.kind, c.text, c.errorNumber), c.line);
}

TEST(DemotoolCommandLine, HelpListsTheViewersControlsAndVersionAnswers) {
    ToolRun help = runTool("--help", 30);
    EXPECT_EQ(help.exitCode, 0);
    for (const char* text : {"view FILE.3ds", "Left button drag", "show or hide this help",
                             "Escape", "demotool: COMMAND:"})
        EXPECT_NE(help.out.find(text), std::string::npos) << text;
    ToolRun version = runTool("--version", 30);
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.starts_with("demotool (FILM 03 by KORAL) ")) << version.out;
    ToolRun unknown = runTool("frobnicate", 30);
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.err.starts_with("demotool: unknown command 'frobnicate'")) << unknown.err;
}

} // namespace
