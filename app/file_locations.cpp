#include "app/file_locations.h"

#include <cstdlib>

#include "config/configuration.h"
#include "platform/system/data_paths.h"
#include "resources/bigfile.h"

#ifndef FILM03_DATA_FROM_BIN
#error "FILM03_DATA_FROM_BIN comes from the build (app/CMakeLists.txt)"
#endif

namespace {

constexpr const char* kProgramName = "film03";

// The user's configuration file, copied from the shipped one when it does not exist yet.
// Empty when there is none and none can be made.
std::string userConfiguration(const FileSearchFolders& folders) {
    if (folders.userConfig.empty()) return {};
    std::string user = folders.userConfig + "/" + kConfigFileName;
    if (pathExists(user)) return user;
    std::string shipped = folders.installedData + "/" + kConfigFileName;
    if (!pathExists(shipped) || !copyFileMakingFolders(shipped, user)) return {};
    return user;
}

} // namespace

FileSearchFolders programSearchFolders() {
    FileSearchFolders folders;
    folders.installedData = installedDataFolder(executableFolder(), FILM03_DATA_FROM_BIN);
    folders.userConfig =
        userConfigFolder(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"), kProgramName);
    folders.userCache =
        userFolder(std::getenv("XDG_CACHE_HOME"), std::getenv("HOME"), ".cache", kProgramName);
    return folders;
}

FileLocations locateProgramFiles(const FileSearchFolders& folders) {
    FileLocations locations{kArchiveFileName, kConfigFileName, {}};
    if (!isFolder(folders.installedData)) return locations;
    locations.textureCache = folders.userCache;
    // The working folder's archive is found without regard to letter case, as every loose
    // file is; the installed one has its exact name.
    if (!fileExists(kArchiveFileName, "")) {
        std::string installed = findDataFile(kArchiveFileName, folders.installedData);
        if (!installed.empty()) locations.archive = installed;
    }
    if (!pathExists(kConfigFileName)) {
        std::string user = userConfiguration(folders);
        if (!user.empty()) locations.configuration = user;
    }
    return locations;
}
