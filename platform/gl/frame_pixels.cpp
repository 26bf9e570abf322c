#include "platform/gl/frame_pixels.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstddef>

std::vector<uint8_t> readFramePixels(int width, int height, int channels) {
    if (width <= 0 || height <= 0) return {};
    const size_t stride = size_t(width) * size_t(channels);
    std::vector<uint8_t> pixels(stride * size_t(height));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, channels == 3 ? GL_RGB : GL_RGBA, GL_UNSIGNED_BYTE,
                 pixels.data());
    // GL hands the bottom row first.
    for (int y = 0; y < height / 2; ++y)
        std::swap_ranges(pixels.begin() + std::ptrdiff_t(stride * size_t(y)),
                         pixels.begin() + std::ptrdiff_t(stride * size_t(y + 1)),
                         pixels.begin() + std::ptrdiff_t(stride * size_t(height - 1 - y)));
    return pixels;
}
