#include "scene/accounted_arrays.h"

#include "platform/system/memory.h"

void accountedResizeBytes(void*& block, uint32_t oldBytes, uint32_t newBytes) {
    if (newBytes == 0) {
        accountedFree(block, oldBytes);
        return;
    }
    accountedAlloc(block, block == nullptr ? 0 : oldBytes, newBytes);
}

void accountedFreeBytes(void*& block, uint32_t bytes) {
    accountedFree(block, bytes);
}
