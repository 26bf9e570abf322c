// 8-bit images as the demo stores them (top row first, RGB or RGBA) and their encoding to PNG
// and JPEG in memory. Both encoders are deterministic: the same pixels give the same bytes.
#pragma once

#include <cstdint>
#include <vector>

struct Image {
    int width = 0;
    int height = 0;
    int channels = 3;            // 3 = RGB, 4 = RGBA
    std::vector<uint8_t> pixels; // width * height * channels bytes, top row first
};

Image makeImage(int width, int height, int channels);

std::vector<uint8_t> encodePng(const Image& image);
// RGB only; an RGBA image loses its alpha. quality 1..100; from 95 on, colour is not
// subsampled.
std::vector<uint8_t> encodeJpeg(const Image& image, int quality);

// Box-filtered (down) or nearest (up) copy of the image at another size, as RGB on black.
Image scaleImageRgb(const Image& image, int width, int height);
