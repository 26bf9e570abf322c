#include "resources/bigfile.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include "platform/system/failure.h"
#include "platform/system/memory.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

char foldCase(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

bool sameNameFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (foldCase(a[i]) != foldCase(b[i])) return false;
    return true;
}

bool pathExists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

// The entry of folder whose name matches component without regard to letter case.
bool findFoldedName(const std::string& folder, const std::string& component, std::string& found) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return false;
    bool matched = false;
    while (dirent* item = ::readdir(dir)) {
        if (sameNameFolded(item->d_name, component)) {
            found = item->d_name;
            matched = true;
            break;
        }
    }
    ::closedir(dir);
    return matched;
}

FileHandle openLooseFile(const std::string& fileName) {
    return FileHandle(std::fopen(resolveLooseFile(fileName).c_str(), "rb"));
}

// One directory line, at most kBigfileMaxLine bytes with its line feed; 0 at end of file.
size_t readDirectoryLine(std::FILE* file, char* line) {
    size_t length = 0;
    while (length < kBigfileMaxLine) {
        int c = getc_unlocked(file);
        if (c == EOF) break;
        line[length++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    return length;
}

struct EntryLine {
    std::string_view name;
    uint32_t size = 0;
};

// NAME;STAMP;SIZE. The size is the decimal number at the start of the third field. Lines
// with an empty field, fewer fields or a size that is no number or does not fit are skipped.
bool parseEntryLine(std::string_view line, EntryLine& entry) {
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    size_t nameEnd = line.find(';');
    if (nameEnd == std::string_view::npos || nameEnd == 0) return false;
    size_t stampEnd = line.find(';', nameEnd + 1);
    if (stampEnd == std::string_view::npos || stampEnd == nameEnd + 1) return false;
    std::string_view sizeText = line.substr(stampEnd + 1);
    uint64_t size = 0;
    size_t digits = 0;
    while (digits < sizeText.size() && sizeText[digits] >= '0' && sizeText[digits] <= '9') {
        size = size * 10 + static_cast<uint64_t>(sizeText[digits] - '0');
        if (size > UINT32_MAX) return false;
        ++digits;
    }
    if (digits == 0) return false;
    entry.name = line.substr(0, nameEnd);
    entry.size = static_cast<uint32_t>(size);
    return true;
}

// Reads the directory from the top, calling onEntry(line) for every well-formed entry line
// until it returns true or the end marker (or the end of the file) is reached. Returns the
// file position where the scan stopped: after the end marker, the start of the data area.
// endFound, when given, tells whether the scan stopped at the end marker.
template <typename OnEntry>
uint64_t scanLines(std::FILE* file, OnEntry onEntry, bool* endFound = nullptr) {
    char line[kBigfileMaxLine];
    while (size_t length = readDirectoryLine(file, line)) {
        std::string_view text(line, length);
        if (text == kBigfileEndMarker) {
            if (endFound != nullptr) *endFound = true;
            break;
        }
        if (text == kBigfileBeginMarker) continue;
        EntryLine entry;
        if (parseEntryLine(text, entry) && onEntry(entry)) break;
    }
    off_t position = ::ftello(file);
    return position < 0 ? 0 : static_cast<uint64_t>(position);
}

struct ScanResult {
    bool found = false;
    uint32_t size = 0;        // the matching entry's size
    uint64_t sizesBefore = 0; // sum of the sizes listed before the match
    uint64_t position = 0;    // file position where the scan stopped
};

// With stopAtMatch the scan ends at the matching line; otherwise it runs on to the end of the
// directory, so that position is the start of the data area.
ScanResult scanDirectory(std::FILE* file, const std::string& entryName, bool stopAtMatch) {
    ScanResult result;
    result.position = scanLines(file, [&](const EntryLine& entry) {
        if (result.found) return false;
        if (sameNameFolded(entry.name, entryName)) {
            result.found = true;
            result.size = entry.size;
            return stopAtMatch;
        }
        result.sizesBefore += entry.size;
        return false;
    });
    return result;
}

uint64_t openFileLength(std::FILE* file) {
    struct stat status;
    if (::fstat(::fileno(file), &status) != 0 || status.st_size < 0) return 0;
    return static_cast<uint64_t>(status.st_size);
}

// "File : ENTRY of BigFile ARCHIVE" for archive entries, "File : NAME" for loose files.
std::string entryErrorHead(const std::string& entry, const std::string& archive) {
    std::string text = "File : " + entry;
    if (!archive.empty()) text += " of BigFile " + archive;
    return text + "\n\n";
}

[[noreturn]] void fatalShortRead(const std::string& entry, const std::string& archive,
                                 uint64_t count) {
    fatalError(kFileErrorCaption, entryErrorHead(entry, archive) + "Could not read " +
                                      std::to_string(count) + " Bytes from this file !");
}

[[noreturn]] void fatalSeek(const std::string& entry, const std::string& archive) {
    fatalError(kFileErrorCaption,
               entryErrorHead(entry, archive) + "Could not change the internal file position !");
}

[[noreturn]] void fatalEntryNotFound(const std::string& entry, const std::string& archive) {
    std::string text = "The file \"" + entry + "\" was not found in bigfile : " + archive;
    fatalError(kFileErrorCaption, text + "\n\n" + std::string(kFileAccessText));
}

FileHandle openArchiveOrFatal(const std::string& archive) {
    FileHandle file = openLooseFile(archive);
    if (!file) fatalFileError(archive);
    return file;
}

// Seeks to position and reads count bytes; the file is closed before any fatal report.
void readAt(FileHandle& file, uint64_t position, void* destination, uint32_t count,
            const std::string& entry, const std::string& archive) {
    uint64_t length = openFileLength(file.get());
    if (::fseeko(file.get(), static_cast<off_t>(position), SEEK_SET) != 0) {
        file.reset();
        fatalSeek(entry, archive);
    }
    if (position + count > length ||
        (count > 0 && std::fread(destination, 1, count, file.get()) != count)) {
        file.reset();
        fatalShortRead(entry, archive, count);
    }
}

uint32_t littleEndian32(const uint8_t* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}

// The size of an entry that is about to be loaded whole. The data area starts after the
// position the scan reached, so that position is a lower bound for the entry's start: a size
// that cannot fit in the archive is refused before anything is allocated.
uint32_t checkedEntrySize(const std::string& archive, const std::string& entry) {
    FileHandle file = openArchiveOrFatal(archive);
    ScanResult scan = scanDirectory(file.get(), entry, true);
    uint64_t length = openFileLength(file.get());
    file.reset();
    if (!scan.found) fatalEntryNotFound(entry, archive);
    if (scan.position + scan.sizesBefore + scan.size > length)
        fatalShortRead(entry, archive, scan.size);
    return scan.size;
}

} // namespace

std::string resolveLooseFile(const std::string& fileName) {
    if (fileName.empty() || pathExists(fileName)) return fileName;
    std::string path = fileName[0] == '/' ? "/" : "";
    size_t start = path.size();
    while (start <= fileName.size()) {
        size_t end = fileName.find('/', start);
        if (end == std::string::npos) end = fileName.size();
        std::string component = fileName.substr(start, end - start);
        bool last = end == fileName.size();
        if (!component.empty()) {
            std::string match;
            if (pathExists(path + component))
                match = component;
            else if (!findFoldedName(path, component, match))
                return fileName;
            path += match;
            if (!last) path += '/';
        }
        start = end + 1;
    }
    return path;
}

uint32_t fileLength(std::FILE* file) {
    struct stat status;
    if (file == nullptr || ::fstat(::fileno(file), &status) != 0) {
        noticeBox("ATTENTION", "Receiving size of a special application file failed !");
        return 0;
    }
    if (status.st_size > static_cast<off_t>(UINT32_MAX)) return UINT32_MAX;
    return static_cast<uint32_t>(status.st_size);
}

uint32_t getEntrySize(const std::string& archive, const std::string& entry) {
    if (archive.empty()) {
        FileHandle file = openLooseFile(entry);
        if (!file) fatalFileError(entry);
        return fileLength(file.get());
    }
    FileHandle file = openArchiveOrFatal(archive);
    return scanDirectory(file.get(), entry, true).size;
}

void readEntryRange(const std::string& archive, const std::string& entry, void* destination,
                    uint32_t offset, uint32_t count) {
    uint64_t start = 0, entrySize = 0;
    FileHandle file;
    if (archive.empty()) {
        file = openLooseFile(entry);
        if (!file) fatalFileError(entry);
        entrySize = openFileLength(file.get());
    } else {
        file = openArchiveOrFatal(archive);
        ScanResult scan = scanDirectory(file.get(), entry, false);
        if (!scan.found) {
            file.reset();
            fatalEntryNotFound(entry, archive);
        }
        start = scan.position + scan.sizesBefore;
        entrySize = scan.size;
    }
    // A range that leaves the entry would hand out bytes of its neighbour.
    if (uint64_t(offset) + count > entrySize) {
        file.reset();
        fatalShortRead(entry, archive, count);
    }
    readAt(file, start + offset, destination, count, entry, archive);
}

uint32_t loadEntry(const std::string& entry, const std::string& archive, uint8_t*& buffer) {
    buffer = nullptr;
    if (archive.empty()) return loadFile(entry, buffer);
    uint32_t size = checkedEntrySize(archive, entry);
    accountedAlloc(buffer, 0, size);
    readEntryRange(archive, entry, buffer, 0, size);
    return size;
}

uint32_t loadEntryWithTrailer(const std::string& entry, const std::string& archive,
                              uint8_t*& buffer, uint32_t& trailer) {
    buffer = nullptr;
    if (archive.empty()) return loadFileWithTrailer(entry, buffer, trailer);
    uint32_t size = checkedEntrySize(archive, entry);
    if (size < 4) fatalShortRead(entry, archive, 4);
    uint32_t bodySize = size - 4;
    uint8_t bytes[4];
    accountedAlloc(buffer, 0, bodySize);
    readEntryRange(archive, entry, buffer, 0, bodySize);
    readEntryRange(archive, entry, bytes, bodySize, 4);
    trailer = littleEndian32(bytes);
    return bodySize;
}

uint32_t loadFile(const std::string& fileName, uint8_t*& buffer) {
    buffer = nullptr;
    FileHandle file = openLooseFile(fileName);
    if (!file) fatalFileError(fileName);
    uint32_t length = fileLength(file.get());
    accountedAlloc(buffer, 0, length);
    if (length > 0 && std::fread(buffer, 1, length, file.get()) != length) {
        file.reset();
        accountedFree(buffer, length);
        fatalShortRead(fileName, "", length);
    }
    return length;
}

uint32_t loadFileWithTrailer(const std::string& fileName, uint8_t*& buffer, uint32_t& trailer) {
    buffer = nullptr;
    FileHandle file = openLooseFile(fileName);
    if (!file) fatalFileError(fileName);
    uint32_t length = fileLength(file.get());
    if (length < 4) {
        file.reset();
        fatalShortRead(fileName, "", 4);
    }
    uint32_t bodySize = length - 4;
    accountedAlloc(buffer, 0, bodySize);
    uint8_t bytes[4];
    if ((bodySize > 0 && std::fread(buffer, 1, bodySize, file.get()) != bodySize) ||
        std::fread(bytes, 1, 4, file.get()) != 4) {
        file.reset();
        accountedFree(buffer, bodySize);
        fatalShortRead(fileName, "", bodySize);
    }
    trailer = littleEndian32(bytes);
    return bodySize;
}

bool fileExists(const std::string& fileName, const std::string& archive) {
    if (!archive.empty()) return getEntrySize(archive, fileName) != 0;
    return !fileName.empty() && pathExists(resolveLooseFile(fileName));
}

bool confirmOverwrite(const std::string& fileName) {
    if (!fileExists(fileName, "")) return true;
    return questionBox("ATTENTION !", "The file \"" + fileName + "\" already exists ! Overwrite ?");
}

std::vector<BigfileEntry> listBigfileEntries(const std::string& archive) {
    FileHandle file = openArchiveOrFatal(archive);
    std::vector<BigfileEntry> entries;
    uint64_t position = 0;
    uint64_t dataStart = scanLines(file.get(), [&](const EntryLine& entry) {
        entries.push_back({std::string(entry.name), entry.size, position});
        position += entry.size;
        return false;
    });
    for (BigfileEntry& entry : entries) entry.position += dataStart;
    return entries;
}

BigfileCheck checkBigfile(const std::string& archive) {
    FileHandle file = openArchiveOrFatal(archive);
    BigfileCheck check;
    check.fileLength = openFileLength(file.get());
    // Each entry's name and where its data ends, counted from the start of the data area.
    std::vector<std::pair<std::string, uint64_t>> ends;
    uint64_t listed = 0;
    const uint64_t dataStart = scanLines(
        file.get(),
        [&](const EntryLine& entry) {
            listed += entry.size;
            ends.emplace_back(std::string(entry.name), listed);
            return false;
        },
        &check.endMarkerFound);
    check.listedEnd = dataStart + listed;
    for (const auto& [name, end] : ends) {
        if (dataStart + end <= check.fileLength) continue;
        check.firstOutside = name;
        break;
    }
    check.complete = check.endMarkerFound && check.listedEnd <= check.fileLength;
    return check;
}

std::string damagedBigfileText(const std::string& path, const BigfileCheck& check) {
    std::string text = "The demo's data \"" + path + "\" is damaged or incomplete !\n\n";
    if (!check.endMarkerFound)
        text += "Its directory has no end (the file holds " + std::to_string(check.fileLength) +
                " bytes).";
    else
        text += "The file holds " + std::to_string(check.fileLength) +
                " bytes, but its directory lists data up to byte " +
                std::to_string(check.listedEnd) + " : \"" + check.firstOutside +
                "\" and what follows it lie beyond the end.";
    return text + "\n\nCopy the file again, or build it anew with \"demotool build-data\".";
}

void requireCompleteBigfile(const std::string& path) {
    BigfileCheck check = checkBigfile(path);
    if (!check.complete) fatalError(kFileErrorCaption, damagedBigfileText(path, check));
}
