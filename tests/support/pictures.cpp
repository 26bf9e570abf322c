#include "support/pictures.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

RgbPicture readPngRgb(const std::string& path) {
    RgbPicture picture;
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) return picture;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) == 0) return picture;
    picture.width = int(image.width);
    picture.height = int(image.height);
    picture.pixels = std::move(pixels);
    return picture;
}

bool writePngRgb(const std::string& path, const RgbPicture& picture) {
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(picture.width);
    image.height = png_uint_32(picture.height);
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path.c_str(), 0, picture.pixels.data(), 0, nullptr) != 0;
}

RgbPicture shrinkPicture(const RgbPicture& picture, int factor) {
    RgbPicture small;
    small.width = picture.width / factor;
    small.height = picture.height / factor;
    small.pixels.resize(size_t(small.width) * size_t(small.height) * 3);
    const int area = factor * factor;
    for (int y = 0; y < small.height; ++y) {
        for (int x = 0; x < small.width; ++x) {
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int dy = 0; dy < factor; ++dy)
                    for (int dx = 0; dx < factor; ++dx)
                        sum += picture.at(x * factor + dx, y * factor + dy, c);
                small.pixels[(size_t(y) * size_t(small.width) + size_t(x)) * 3 + size_t(c)] =
                    uint8_t((sum + area / 2) / area);
            }
        }
    }
    return small;
}

PictureDifference comparePictures(const RgbPicture& a, const RgbPicture& b, int block) {
    PictureDifference difference;
    difference.sameSize = a.width == b.width && a.height == b.height && a.width > 0;
    if (!difference.sameSize) return difference;
    double total = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        total += std::abs(int(a.pixels[i]) - int(b.pixels[i]));
    difference.meanAbsolute = total / double(a.pixels.size());
    for (int by = 0; by < a.height; by += block) {
        for (int bx = 0; bx < a.width; bx += block) {
            double sum = 0;
            int count = 0;
            for (int y = by; y < std::min(by + block, a.height); ++y)
                for (int x = bx; x < std::min(bx + block, a.width); ++x)
                    for (int c = 0; c < 3; ++c, ++count)
                        sum += std::abs(int(a.at(x, y, c)) - int(b.at(x, y, c)));
            difference.worstBlock = std::max(difference.worstBlock, sum / count);
        }
    }
    return difference;
}
