// Whole runs of the demo program for tests: a run folder holding the demo's data and a
// windowed configuration, the program started there under the virtual display, and its
// screenshots held against the reference pictures in tests/golden.
#pragma once

#include <string>

#include "config/configuration.h"
#include "support/pictures.h"

struct DemoRun {
    int exitCode = -1;
    std::string out; // standard output: the loading lines
    std::string err; // standard error: boxes in the batch format and the program's own lines
};

// The shipped configuration as a window of the given size, without multisampling and
// anisotropic filtering.
ConfigRecord demoRunRecord(int width, int height);
// Links the demo's bigfile into `dir` and writes the record as its configuration.
void prepareDemoFolder(const std::string& dir, const ConfigRecord& record);
// Runs film03 in `dir` with the arguments; `instance` keeps parallel runs apart. A run that
// takes longer than timeoutSeconds is ended.
DemoRun runDemoProgram(const std::string& dir, const std::string& arguments,
                       const std::string& instance, int timeoutSeconds);

// Screenshots are compared at half their size; the references are stored so.
inline constexpr int kGoldenShrink = 2;
std::string goldenPath(const std::string& shotName);
// True when ZORX_UPDATE_GOLDEN=1: the tests then write the references instead of checking.
bool updatingGoldens();

struct GoldenVerdict {
    bool matches = false;
    std::string why; // the figures, for the failure message
};
// Shrinks the screenshot and compares it with its reference: the mean difference and the
// worst 8 x 8 block must stay under their limits.
GoldenVerdict compareWithGolden(const RgbPicture& shot, const RgbPicture& golden);
