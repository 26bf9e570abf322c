// Arrays of the scene model (mesh levels, key tracks, the registry) as accounted memory
// blocks of exactly count elements.
#pragma once

#include <cstdint>
#include <new>

// Mesh storage helpers: accounted arrays of exactly count elements. Resizing keeps the
// existing elements; new elements are value-initialised; count 0 frees the array.
void accountedResizeBytes(void*& block, uint32_t oldBytes, uint32_t newBytes);
void accountedFreeBytes(void*& block, uint32_t bytes);
template <typename T> void resizeArray(T*& array, uint32_t oldCount, uint32_t newCount) {
    void* block = array;
    accountedResizeBytes(block, oldCount * uint32_t(sizeof(T)), newCount * uint32_t(sizeof(T)));
    array = static_cast<T*>(block);
    for (uint32_t i = oldCount; i < newCount; i++) new (&array[i]) T();
}
template <typename T> void freeArray(T*& array, uint32_t count) {
    void* block = array;
    accountedFreeBytes(block, count * uint32_t(sizeof(T)));
    array = nullptr;
}
