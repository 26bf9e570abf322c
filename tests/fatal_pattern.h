// The regular expression a death test expects for one fatal report in the batch format.
#pragma once

#include <cstring>
#include <string>
#include <string_view>

#include "platform/system/failure.h"

inline std::string fatalPattern(std::string_view caption, std::string_view text) {
    std::string line = formatBatchLine(BoxKind::Fatal, caption, text, true);
    std::string pattern;
    for (char c : line) {
        if (std::strchr("\\^$.|?*+()[]{}", c) != nullptr) pattern += '\\';
        pattern += c;
    }
    return pattern;
}
