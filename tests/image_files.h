// Image files for tests: PNG and JPEG files of one colour, written with the data tool's
// encoders.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/image_write.h"

inline bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

// An RGBA image of one colour.
inline std::vector<uint8_t> imagePixels(int width, int height, const uint8_t colour[4]) {
    std::vector<uint8_t> pixels(size_t(width) * height * 4);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = colour[i % 4];
    return pixels;
}

inline bool writePng(const std::string& path, int width, int height, const uint8_t colour[4]) {
    std::vector<uint8_t> file =
        encodePng(Image{width, height, 4, imagePixels(width, height, colour)});
    return writeBytes(path, file);
}

// RGB rows, top row first.
inline bool writeJpegPixels(const std::string& path, int width, int height,
                            const std::vector<uint8_t>& rgb) {
    return writeBytes(path, encodeJpeg(Image{width, height, 3, rgb}, 75));
}

// A grey JPEG: every channel of every pixel is value.
inline bool writeJpeg(const std::string& path, int width, int height, uint8_t value = 160) {
    return writeJpegPixels(path, width, height,
                           std::vector<uint8_t>(size_t(width) * height * 3, value));
}
