// Pictures in tests: reading a PNG as RGB, shrinking it by block averages, and comparing a
// screenshot with a reference picture loosely enough that another rasteriser's rounding and
// edge pixels pass, while a missing, moved or wrongly coloured part of the picture fails.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels; // RGB, top row first
    uint8_t at(int x, int y, int channel) const {
        return pixels[(size_t(y) * size_t(width) + size_t(x)) * 3 + size_t(channel)];
    }
};

// Any 8-bit PNG (grey, RGB, with or without alpha) as RGB; empty (width 0) when unreadable.
RgbPicture readPngRgb(const std::string& path);
bool writePngRgb(const std::string& path, const RgbPicture& picture);
// Each output pixel is the rounded mean of a factor x factor block (sides must divide).
RgbPicture shrinkPicture(const RgbPicture& picture, int factor);

struct PictureDifference {
    double meanAbsolute = 0; // mean |a - b| over all pixels and channels (0-255)
    double worstBlock = 0;   // largest mean |a - b| of one block x block square
    bool sameSize = false;
};
PictureDifference comparePictures(const RgbPicture& a, const RgbPicture& b, int block);
