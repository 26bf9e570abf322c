// film03's command line. Without arguments the demo runs as it always has; the options add
// automation (batch runs, fixed time steps, screenshots, recording, benchmarks, seeking).
// The options as given; the run plan (app/run_plan.h) turns them into what the run does.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/recording_files.h"
#include "app/segment.h"
#include "app/timeline.h"

// Motion blur: sub-frames per frame (1: none) up to 256, the shutter from 1 to 360 degrees.
inline constexpr uint32_t kMaxSubFrames = 256;
inline constexpr uint32_t kDefaultShutterDegrees = 180;

struct Options {
    bool help = false;
    bool version = false;
    bool batch = false;       // no dialogs; boxes go to standard error and are answered
    bool answerYes = true;    // the batch answer to questions
    uint32_t fixedStepMs = 0; // 0: the clock follows real time
    std::vector<TimelinePoint> shots;
    std::vector<TimedKey> keys; // batch only
    std::string recordFile;     // empty: no recording; implies batch mode
    std::string recordCodec;    // --codec; empty: the container's usual one
    uint32_t chroma = 0;        // --chroma 420 or 444; 0: not given
    RecordFormat recordFormat;  // what the recording writes, from its name, codec and chroma
    FrameRate fps;              // --fps N or N/D
    uint32_t width = 0;         // --size: the window of a recording or benchmark; 0: as configured
    uint32_t height = 0;
    bool benchmark = false;
    std::string benchmarkFile; // empty: standard output
    bool seek = false;
    TimelinePoint seekTo;
    bool gammaInPicture = false; // the gamma goes into the picture, not the display's ramp
    bool until = false;          // --until: a recording or benchmark ends at this point
    TimelinePoint untilPoint;
    SegmentRequest segment;   // --frames or --part: a recording writes only these frames
    bool countFrames = false; // --count-frames: print the recording's frames and rate, and exit
    // --scale: the frame-time governor. Default: on where the renderer is a software
    // rasteriser and the run makes no pictures for files (--fixed-step, --shots, --record).
    enum class Scale { Default, On, Off, Fixed };
    Scale scale = Scale::Default;
    float fixedScale = 1.0f;       // with Scale::Fixed, from 0.5 to 1
    uint32_t subFrames = 1;        // --motion-blur: sub-frames per frame, 1 to 256 (1: none)
    uint32_t shutterDegrees = 180; // --shutter: 1 to 360
    bool shutterGiven = false;
    bool loudness = false;     // --loudness: the recording's sound is set to loudnessLufs
    double loudnessLufs = -14; // from -70 to 0
    std::string error;         // why the command line was refused; empty when it is good
};

// The key-table code for a key name of --keys: "Escape", "Enter", "Space", "Left", "Right",
// "Comma", "Period", "Home" or one letter
// (either case); -1 for any other name.
int keyCodeForName(const std::string& name);

// Parses the arguments after the program name.
Options parseOptions(const std::vector<std::string>& arguments);

std::string usageText();
std::string versionText();
// The program's version ("1.4.0"), as --version shows it and recordings carry it.
std::string_view programVersion();
