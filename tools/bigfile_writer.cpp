#include "tools/bigfile_writer.h"

#include <cstdio>
#include <set>

#include "resources/bigfile.h"

namespace {

bool isFieldText(const std::string& text) {
    return !text.empty() && text.find_first_of(";\n\r") == std::string::npos;
}

std::string upperCased(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return text;
}

std::string directoryLine(const BigfileInput& input) {
    return input.name + ";" + input.stamp + ";" + std::to_string(input.bytes.size()) + "\n";
}

} // namespace

std::string bigfileInputProblem(const std::vector<BigfileInput>& inputs) {
    std::set<std::string> names;
    for (const BigfileInput& input : inputs) {
        if (!isFieldText(input.name)) return "bad member name \"" + input.name + "\"";
        if (!isFieldText(input.stamp)) return "bad second field for \"" + input.name + "\"";
        if (input.bytes.size() > UINT32_MAX) return "\"" + input.name + "\" is over 4 GiB";
        if (directoryLine(input).size() > kBigfileMaxLine)
            return "directory line of \"" + input.name + "\" is too long";
        if (!names.insert(upperCased(input.name)).second)
            return "\"" + input.name + "\" is listed twice";
    }
    return {};
}

bool writeBigfile(const std::string& path, const std::vector<BigfileInput>& inputs) {
    if (!bigfileInputProblem(inputs).empty()) return false;
    std::string header(kBigfileBeginMarker);
    for (const BigfileInput& input : inputs) header += directoryLine(input);
    header += kBigfileEndMarker;

    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    bool ok = std::fwrite(header.data(), 1, header.size(), file) == header.size();
    for (const BigfileInput& input : inputs) {
        if (!ok) break;
        ok = input.bytes.empty() ||
             std::fwrite(input.bytes.data(), 1, input.bytes.size(), file) == input.bytes.size();
    }
    return std::fclose(file) == 0 && ok;
}
