#include "resources/texture_record.h"

#include <cstring>

#include "platform/memory.h"

void setTextureSize(TextureRecord& record, int32_t width, int32_t height) {
    record.width = width;
    record.height = height;
    record.halfWidth = width >> 1;
    record.halfHeight = height >> 1;
    record.byteSize = width * height * 4;
}

void allocatePixels(TextureRecord& record, int32_t width, int32_t height) {
    releasePixels(record);
    setTextureSize(record, width, height);
    accountedAlloc(record.pixels, 0, static_cast<uint32_t>(record.byteSize));
    std::memset(record.pixels, 0, static_cast<size_t>(record.byteSize));
    record.pixelsLoaded = true;
}

void releasePixels(TextureRecord& record) {
    if (!record.pixelsLoaded) return;
    accountedFree(record.pixels, static_cast<uint32_t>(record.byteSize));
    record.pixelsLoaded = false;
}
