// A segment of a recording: frames A to B−1 of the whole recording (--frames A-B) or the K-th
// of N near-equal parts of it (--part K/N), so that one recording can be spread over many
// machines and joined again. Plain arithmetic on frame numbers; the recording decides what a
// frame is.
#pragma once

#include <cstdint>
#include <string>

// Frames first to end − 1 of a recording.
struct FrameRange {
    uint64_t first = 0;
    uint64_t end = 0;
};

// What the command line asks for: nothing, a range of frames, or a part.
struct SegmentRequest {
    enum class Kind { Whole, Frames, Part };
    Kind kind = Kind::Whole;
    FrameRange frames; // Kind::Frames
    uint32_t part = 0; // Kind::Part: part `part` (from 1) of `parts`
    uint32_t parts = 0;
};

// "A-B" with A < B; false otherwise.
bool parseFrameRange(const std::string& text, FrameRange& range);
// "K/N" with 1 <= K <= N; false otherwise.
bool parsePart(const std::string& text, uint32_t& part, uint32_t& parts);

// The frames of part K of N of a recording of `total` frames: from floor(total × (K − 1) / N)
// to floor(total × K / N), so the parts meet without gap or overlap and differ by at most one
// frame.
FrameRange partFrames(uint32_t part, uint32_t parts, uint64_t total);

// The frames a request writes in a recording of `total` frames (all of them for Kind::Whole),
// or why it writes none: a range that reaches past the end, a part of more parts than frames.
// Returns "" when `range` is set.
std::string segmentFrames(const SegmentRequest& request, uint64_t total, FrameRange& range);
