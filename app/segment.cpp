#include "app/segment.h"

#include <charconv>

namespace {

template <typename Number> bool parseWhole(const std::string& text, Number& value) {
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end && !text.empty();
}

// "X<separator>Y" as two whole numbers.
template <typename Number>
bool parsePair(const std::string& text, char separator, Number& x, Number& y) {
    size_t at = text.find(separator);
    return at != std::string::npos && parseWhole(text.substr(0, at), x) &&
           parseWhole(text.substr(at + 1), y);
}

} // namespace

bool parseFrameRange(const std::string& text, FrameRange& range) {
    FrameRange read;
    if (!parsePair(text, '-', read.first, read.end) || read.first >= read.end) return false;
    range = read;
    return true;
}

bool parsePart(const std::string& text, uint32_t& part, uint32_t& parts) {
    uint32_t k = 0;
    uint32_t n = 0;
    if (!parsePair(text, '/', k, n) || k == 0 || k > n) return false;
    part = k;
    parts = n;
    return true;
}

FrameRange partFrames(uint32_t part, uint32_t parts, uint64_t total) {
    if (parts == 0) return {};
    return {total * (part - 1) / parts, total * part / parts};
}

std::string segmentFrames(const SegmentRequest& request, uint64_t total, FrameRange& range) {
    std::string frames = std::to_string(total) + (total == 1 ? " frame" : " frames");
    switch (request.kind) {
        case SegmentRequest::Kind::Whole:
            range = {0, total};
            return {};
        case SegmentRequest::Kind::Frames:
            if (request.frames.end > total)
                return "--frames " + std::to_string(request.frames.first) + "-" +
                       std::to_string(request.frames.end) +
                       " reaches past the end of the recording, which has " + frames + " (0-" +
                       std::to_string(total) + ")";
            range = request.frames;
            return {};
        case SegmentRequest::Kind::Part:
            if (request.parts > total)
                return "--part " + std::to_string(request.part) + "/" +
                       std::to_string(request.parts) +
                       " asks for more parts than the recording has frames (" + frames + ")";
            range = partFrames(request.part, request.parts, total);
            return {};
    }
    return {};
}
