// Accounted memory: heap blocks taken and given back with a running byte count and a peak.
// The caller passes the size it allocated; no per-block record is kept.
#pragma once

#include <cstdint>

struct MemoryState {
    uint32_t accountedBytes = 0;
    uint32_t accountedPeak = 0;
};
extern MemoryState memoryState;

// Resizes (or, with a null buffer and old size 0, allocates) a block. Out of memory is fatal.
void* accountedAlloc(void*& buffer, uint32_t oldSize, uint32_t newSize);
void accountedFree(void*& buffer, uint32_t size);

template <typename T> T* accountedAlloc(T*& buffer, uint32_t oldSize, uint32_t newSize) {
    void* raw = buffer;
    void* result = accountedAlloc(raw, oldSize, newSize);
    buffer = static_cast<T*>(raw);
    return static_cast<T*>(result);
}
template <typename T> void accountedFree(T*& buffer, uint32_t size) {
    void* raw = buffer;
    accountedFree(raw, size);
    buffer = static_cast<T*>(raw);
}

// Notice at shutdown when the accounted bytes are not back to zero.
void reportMemoryBalance();
