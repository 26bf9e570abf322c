// The texture record: one decoded image and its OpenGL texture. Owned by the texture table;
// the image producers fill its pixel buffer (8-bit RGBA, top row first).
#pragma once

#include <cstdint>
#include <string>

// A rectangle of texels [x0, x1) x [y0, y1), rows counted from the image's first.
struct TexelRect {
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty() const { return x1 <= x0 || y1 <= y0; }
};

struct TextureRecord {
    bool pixelsLoaded = false;
    uint8_t* pixels = nullptr; // width * height * 4 bytes, accounted allocation
    std::string name;          // upper-cased file name, the lookup key
    std::string sceneTag;
    uint32_t glName = 0;
    int32_t byteSize = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t halfWidth = 0;
    int32_t halfHeight = 0;
    bool mipmapped = false; // uploaded with its mipmap levels
    // Every texel whose colour is not black lies in `lit`, known once the image was uploaded.
    bool litKnown = false;
    TexelRect lit;
};

// The smallest rectangle holding every texel of the RGBA image whose colour is not black.
TexelRect litTexels(const uint8_t* rgba, int32_t width, int32_t height);

// Zero-filled pixel buffer of width x height; sets the size fields. Does nothing when pixels
// are loaded; a buffer still held while none is loaded is a fatal internal error.
void allocatePixels(TextureRecord& record, int32_t width, int32_t height);
// Sets width, height, halves and byte size without allocating.
void setTextureSize(TextureRecord& record, int32_t width, int32_t height);
// Frees the pixel buffer if loaded.
void releasePixels(TextureRecord& record);
