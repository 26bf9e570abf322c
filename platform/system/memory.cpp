#include "platform/system/memory.h"

#include <cstdlib>
#include <string>

#include "platform/system/failure.h"

MemoryState memoryState;

void* accountedAlloc(void*& buffer, uint32_t oldSize, uint32_t newSize) {
    memoryState.accountedBytes += newSize - oldSize;
    if (memoryState.accountedBytes > memoryState.accountedPeak)
        memoryState.accountedPeak = memoryState.accountedBytes;
    void* grown = std::realloc(buffer, newSize);
    if (grown != nullptr || newSize == 0) {
        buffer = grown;
        return grown;
    }
    if (buffer != nullptr) {
        memoryState.accountedBytes -= oldSize;
        std::free(buffer);
        buffer = nullptr;
    }
    fatalError("MEMORY ERROR !", "Not enough memory to run this application !\n\n"
                                 "Rebooting the computer may help to clean up your memory...");
}

void accountedFree(void*& buffer, uint32_t size) {
    if (buffer == nullptr) return;
    memoryState.accountedBytes -= size;
    std::free(buffer);
    buffer = nullptr;
}

void reportMemoryBalance() {
    uint32_t bytes = memoryState.accountedBytes;
    if (bytes == 0) return;
    std::string text = "Memory difference between application start and termination detected !\n\n";
    text += std::to_string(bytes) + " BYTES  or  " + std::to_string(bytes >> 10) + " KB  or  " +
            std::to_string(bytes >> 20) + " MB";
    noticeBox("MEMORY MANAGEMENT ERROR !", text);
}
