// Reading a finished frame back from GL: the current read buffer's pixels, top row first.
#pragma once

#include <cstdint>
#include <vector>

// channels is 3 (RGB) or 4 (RGBA); empty for a size without pixels.
std::vector<uint8_t> readFramePixels(int width, int height, int channels);
