#include "platform/system/data_paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>

namespace {

bool isAbsolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

std::string parentFolder(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool writeAll(int descriptor, const char* bytes, size_t count) {
    while (count > 0) {
        ssize_t written = ::write(descriptor, bytes, count);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        count -= static_cast<size_t>(written);
    }
    return true;
}

bool copyContents(std::FILE* from, int to) {
    char buffer[16384];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, from)) > 0)
        if (!writeAll(to, buffer, count)) return false;
    return std::ferror(from) == 0;
}

} // namespace

// Creates every missing folder of path, as mkdir -p does.
bool makeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string prefix = path.substr(0, slash);
        if (!prefix.empty() && ::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    return isFolder(path);
}

bool pathExists(const std::string& path) {
    struct stat status;
    return !path.empty() && ::stat(path.c_str(), &status) == 0;
}

bool isFolder(const std::string& path) {
    struct stat status;
    return !path.empty() && ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::string executableFolder() {
    char path[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    return parentFolder(std::string(path, static_cast<size_t>(length)));
}

std::string installedDataFolder(const std::string& exeFolder, const std::string& fromExecutable) {
    if (isAbsolute(fromExecutable.c_str())) return fromExecutable;
    if (exeFolder.empty()) return {};
    return joinPath(exeFolder, fromExecutable);
}

std::string userFolder(const char* xdgHome, const char* home, const char* homeFolder,
                       const std::string& program) {
    if (isAbsolute(xdgHome)) return joinPath(xdgHome, program);
    if (isAbsolute(home)) return joinPath(joinPath(home, homeFolder), program);
    return {};
}

std::string userConfigFolder(const char* xdgConfigHome, const char* home,
                             const std::string& program) {
    return userFolder(xdgConfigHome, home, ".config", program);
}

std::string findDataFile(const std::string& name, const std::string& folder) {
    if (pathExists(name)) return name;
    if (folder.empty()) return {};
    std::string installed = joinPath(folder, name);
    return pathExists(installed) ? installed : std::string();
}

bool copyFileMakingFolders(const std::string& source, const std::string& destination) {
    if (destination.empty() || !makeFolders(parentFolder(destination))) return false;
    std::FILE* from = std::fopen(source.c_str(), "rb");
    if (from == nullptr) return false;
    std::string partial = destination + ".partial";
    int to = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool copied = to >= 0 && copyContents(from, to);
    std::fclose(from);
    if (to >= 0) copied = ::close(to) == 0 && copied;
    copied = copied && ::rename(partial.c_str(), destination.c_str()) == 0;
    if (!copied && to >= 0) ::unlink(partial.c_str());
    return copied;
}
