// Bigfile archive: every data file of the demo packed behind a short text directory.
//
//   ################[ header - begin ]################\n
//   NAME;STAMP;SIZE\n            one line per member, in the order of the data
//   ################[ header -  end  ]################\n
//   the members' bytes back to back
//
// There is no archive object: every call opens the archive, scans the directory from the top,
// does its work and closes the file. An empty archive name means the loose disk file of that
// name. Names are compared with ASCII case folding; loose files are found without regard to
// letter case as well. Buffers handed out are accounted allocations of exactly the returned
// size; the caller gives them back with accountedFree.
//
// Note the argument order: getEntrySize and readEntryRange take the archive first, the load
// operations and fileExists take the entry first.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kBigfileBeginMarker =
    "################[ header - begin ]################\n";
inline constexpr std::string_view kBigfileEndMarker =
    "################[ header -  end  ]################\n";
inline constexpr size_t kBigfileMaxLine = 1023; // bytes per directory line, line feed included

// Size of the entry in bytes, 0 when the directory has no such entry. With an empty archive
// name: the length of the loose file called entry (fatal when it cannot be opened).
uint32_t getEntrySize(const std::string& archive, const std::string& entry);

// Reads count bytes from offset bytes into the entry. Every failure is fatal.
void readEntryRange(const std::string& archive, const std::string& entry, void* destination,
                    uint32_t offset, uint32_t count);

// Whole entry (or loose file when archive is empty) into a new buffer; returns its size.
uint32_t loadEntry(const std::string& entry, const std::string& archive, uint8_t*& buffer);
// All but the last 4 bytes into a new buffer, the last 4 into trailer (little-endian);
// returns the buffer's size.
uint32_t loadEntryWithTrailer(const std::string& entry, const std::string& archive,
                              uint8_t*& buffer, uint32_t& trailer);

// Loose files.
uint32_t loadFile(const std::string& fileName, uint8_t*& buffer);
uint32_t loadFileWithTrailer(const std::string& fileName, uint8_t*& buffer, uint32_t& trailer);

// With an archive: the entry is listed with a non-zero size. Without: the disk file exists.
bool fileExists(const std::string& fileName, const std::string& archive);

// Length of an open file from its status; a notice and 0 when the status is unavailable.
uint32_t fileLength(std::FILE* file);

// True when the disk file does not exist or the user agrees to overwrite it.
bool confirmOverwrite(const std::string& fileName);

// The disk path of a loose file: the name itself when it exists, otherwise the existing path
// whose components match it without regard to letter case, otherwise the name unchanged.
std::string resolveLooseFile(const std::string& fileName);

// Every well-formed entry of the directory in order, with the position of its data. Tools use
// it; the program itself only looks entries up by name.
struct BigfileEntry {
    std::string name;
    uint32_t size = 0;
    uint64_t position = 0;
};
std::vector<BigfileEntry> listBigfileEntries(const std::string& archive);

// Whether every entry the directory lists lies inside the archive file: an archive cut
// short (an interrupted copy or download) or with its directory damaged fails here, before
// anything is read from it.
struct BigfileCheck {
    bool complete = false;
    bool endMarkerFound = false;
    uint64_t fileLength = 0;
    uint64_t listedEnd = 0;   // where the data of the last entry ends
    std::string firstOutside; // the first entry reaching past the end of the file
};
BigfileCheck checkBigfile(const std::string& archive);
// "The demo's data \"PATH\" is damaged or incomplete !" with what the check found.
std::string damagedBigfileText(const std::string& path, const BigfileCheck& check);
// The fatal file error with that text when the archive at path is not complete.
void requireCompleteBigfile(const std::string& path);
