#include "resources/texture_record.h"

#include <algorithm>
#include <cstring>

#include "platform/system/failure.h"
#include "platform/system/memory.h"

void setTextureSize(TextureRecord& record, int32_t width, int32_t height) {
    record.width = width;
    record.height = height;
    record.halfWidth = width >> 1;
    record.halfHeight = height >> 1;
    // Computed without signed overflow; callers keep images within 2 GiB.
    record.byteSize =
        static_cast<int32_t>(static_cast<uint32_t>(width) * static_cast<uint32_t>(height) * 4u);
}

void allocatePixels(TextureRecord& record, int32_t width, int32_t height) {
    if (record.pixelsLoaded) return;
    setTextureSize(record, width, height);
    if (record.pixels != nullptr)
        fatalError("INTERNAL MEMORY MANAGEMENT ERROR !",
                   "It is not allowed to allocate memory for an already assigned pointer !\n"
                   "Pointer must be NULL before allocating memory.");
    accountedAlloc(record.pixels, 0, static_cast<uint32_t>(record.byteSize));
    std::memset(record.pixels, 0, static_cast<size_t>(record.byteSize));
    record.pixelsLoaded = true;
}

void releasePixels(TextureRecord& record) {
    if (!record.pixelsLoaded) return;
    accountedFree(record.pixels, static_cast<uint32_t>(record.byteSize));
    record.pixelsLoaded = false;
}

TexelRect litTexels(const uint8_t* rgba, int32_t width, int32_t height) {
    TexelRect lit{width, height, 0, 0};
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = rgba + size_t(y) * size_t(width) * 4;
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* texel = row + size_t(x) * 4;
            if ((texel[0] | texel[1] | texel[2]) == 0) continue;
            lit.x0 = std::min(lit.x0, x), lit.x1 = std::max(lit.x1, x + 1);
            lit.y0 = std::min(lit.y0, y), lit.y1 = std::max(lit.y1, y + 1);
        }
    }
    return lit.empty() ? TexelRect{} : lit;
}
