// Bigfile writer: packs member files behind the text directory the engine's reader scans.
// The engine itself only reads bigfiles; writing is the tool's business.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct BigfileInput {
    std::string name;  // the member's name as the program asks for it, e.g. "font.png"
    std::string stamp; // any non-empty text without ';' (the tool stores the file's date)
    std::vector<uint8_t> bytes;
};

// Why a set of inputs cannot be packed (empty when it can): an empty name or stamp, a ';' or
// line end in one, a directory line over 1023 bytes, a member over 4 GiB, or a name listed
// twice (names are compared without regard to letter case).
std::string bigfileInputProblem(const std::vector<BigfileInput>& inputs);

// Writes the bigfile; false when the inputs cannot be packed or the file cannot be written.
bool writeBigfile(const std::string& path, const std::vector<BigfileInput>& inputs);
