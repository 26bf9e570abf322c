// The loading dialog's status list and progress bar as seen by the loaders: two hooks that
// the loading phase fills while its dialog exists. Without a dialog both do nothing.
#pragma once

#include <cstdint>
#include <string_view>

struct LoadingLog {
    void (*addLine)(std::string_view line) = nullptr; // append a line and select it
    void (*setProgress)(uint32_t value) = nullptr;    // progress bar position
};
extern LoadingLog loadingLog;

inline void addLoadingLine(std::string_view line) {
    if (loadingLog.addLine != nullptr) loadingLog.addLine(line);
}
inline void setLoadingProgress(uint32_t value) {
    if (loadingLog.setProgress != nullptr) loadingLog.setProgress(value);
}
