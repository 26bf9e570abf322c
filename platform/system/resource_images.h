// The program's icon (2500) and its dialog and tree-view bitmaps (2400 to 2408): PNG files
// made by demotool and compiled into the program, looked up by their resource number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

struct ResourceImage {
    int32_t id = 0;                     // 2500, 2400 ... 2408
    const unsigned char* png = nullptr; // the PNG file's bytes
    size_t size = 0;
};

inline constexpr int32_t kProgramIcon = 2500;
inline constexpr int32_t kConfigurationBitmap = 2400;
inline constexpr int32_t kEngineBitmap = 2401;

struct ResourceImageState {
    std::span<const ResourceImage> images; // filled once at start by the program
};
extern ResourceImageState resourceImageState;

// The image with that number, or null when the program carries none.
const ResourceImage* findResourceImage(int32_t id);
