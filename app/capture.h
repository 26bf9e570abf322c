// What a recording and a benchmark share: the window they run in, where they end on the
// timeline, and the progress line on standard error.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/run_plan.h"
#include "app/segment.h"
#include "app/timeline.h"

// The plan's window in the running settings (recordings and benchmarks run in a window of the
// configured size or --size, without vertical sync); the stored configuration keeps its own.
void setCaptureWindow(const RunPlan& plan);
// For a job: setCaptureWindow, its stop point (setCaptureEnd) and its progress line.
void prepareCapture(const RunPlan& plan);

// The plan's stop point: captureEnded is true for every frame at or past it; the first such
// frame ends the run (endTimeline), so the sequence ends after it and no later one starts,
// and those frames are left out.
void setCaptureEnd(const RunPlan& plan);
bool captureEnded(Sequence sequence, uint32_t sceneMs);
// The frames a job writes: after this many, the run ends as at its stop point. captureEnded
// counts each frame it lets through.
void setCaptureFrameLimit(uint64_t frames);
// The stop point was reached.
bool captureEndReached();

// "recording  45.2 %  frame 1830/4052  first:23000  24.3 frames/s  about 1:23 left" (the rate
// and the estimate after the first frame), for the job named ("recording", "benchmark") at the
// point of its last frame.
std::string progressText(std::string_view job, TimelinePoint at, uint64_t done, uint64_t total,
                         double elapsedSeconds);
// The progress line of a job of `total` frames; its clock starts at the first frame counted.
void startCaptureProgress(std::string_view job, uint64_t total);
// A frame at `at` is done: the line is rewritten (at most four times a second) in place.
void countCaptureFrame(TimelinePoint at);
// What the line ends with, asked for each time it is shown (the recording's loudness); none
// until set, and none again after startCaptureProgress.
void setCaptureProgressTail(std::string (*tail)());
// The line once more, whole, with its line feed.
void endCaptureProgress();
// A line feed where the progress line waits for one, so that a report starts a line of its
// own. Safe from the immediate end's thread.
void breakCaptureProgress();
