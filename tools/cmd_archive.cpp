// demotool pack, list and extract: write a bigfile, show its directory, copy one entry out.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/system/failure.h"
#include "platform/system/memory.h"
#include "resources/bigfile.h"
#include "tools/bigfile_writer.h"
#include "tools/commands.h"
#include "tools/tool_report.h"

namespace {

int usage(const char* text) {
    std::fprintf(stderr, "usage: demotool %s\n", text);
    return 2;
}

std::string baseName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file's modification time as the member's second field.
std::string modificationStamp(const std::string& path) {
    struct stat status;
    if (::stat(path.c_str(), &status) != 0) return "-";
    char text[32];
    std::tm local;
    ::gmtime_r(&status.st_mtime, &local);
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::vector<uint8_t> readWholeOrFatal(const std::string& path) {
    uint8_t* buffer = nullptr;
    uint32_t size = loadFile(path, buffer);
    std::vector<uint8_t> bytes(buffer, buffer + size);
    accountedFree(buffer, size);
    return bytes;
}

void writeWholeOrFatal(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) fatalFileError(path);
    bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0 || !written) fatalFileError(path);
}

// list and extract take a file as a bigfile when it begins with the directory's begin marker
// and every entry it lists lies within it; otherwise the error line says why.
bool requireBigfile(const std::string& path) {
    if (!requireInputFile(path)) return false;
    char head[kBigfileBeginMarker.size()];
    std::FILE* file = std::fopen(path.c_str(), "rb");
    bool marked = file != nullptr && std::fread(head, 1, sizeof head, file) == sizeof head &&
                  std::string_view(head, sizeof head) == kBigfileBeginMarker;
    struct stat status = {};
    bool measured = file != nullptr && ::fstat(::fileno(file), &status) == 0;
    if (file != nullptr) std::fclose(file);
    if (!marked) {
        toolFailure("\"" + path + "\" is no bigfile: it does not begin with the directory's " +
                    "begin marker");
        return false;
    }
    for (const BigfileEntry& entry : listBigfileEntries(path)) {
        if (measured && entry.position + entry.size <= uint64_t(status.st_size)) continue;
        toolFailure("\"" + path + "\" is damaged: the entry \"" + entry.name +
                    "\" runs past the end of the file");
        return false;
    }
    return true;
}

} // namespace

int runPack(int argc, char** argv) {
    if (argc < 2) return usage("pack OUT.dat FILE...");
    std::vector<BigfileInput> inputs;
    for (int i = 1; i < argc; ++i)
        if (!requireInputFile(argv[i])) return 1;
    for (int i = 1; i < argc; ++i)
        inputs.push_back(
            {baseName(argv[i]), modificationStamp(argv[i]), readWholeOrFatal(argv[i])});
    std::string problem = bigfileInputProblem(inputs);
    if (!problem.empty())
        fatalError("ERROR",
                   "The bigfile " + std::string(argv[0]) + " cannot be written :\n\n" + problem);
    if (!writeBigfile(argv[0], inputs))
        return toolFailure("cannot write \"" + std::string(argv[0]) +
                           "\": " + std::strerror(errno));
    return 0;
}

int runList(int argc, char** argv) {
    if (argc != 1) return usage("list ARCHIVE");
    if (!requireBigfile(argv[0])) return 1;
    for (const BigfileEntry& entry : listBigfileEntries(argv[0]))
        std::printf("%s\t%u\n", entry.name.c_str(), entry.size);
    return 0;
}

int runExtract(int argc, char** argv) {
    if (argc != 2 && argc != 3) return usage("extract ARCHIVE NAME [OUT]");
    std::string archive = argv[0], name = argv[1];
    std::string out = argc == 3 ? argv[2] : baseName(name);
    if (!requireBigfile(archive)) return 1;
    uint8_t* buffer = nullptr;
    uint32_t size = loadEntry(name, archive, buffer);
    writeWholeOrFatal(out, buffer, size);
    accountedFree(buffer, size);
    return 0;
}
