#include "app/photosensitivity_warning.h"

#include <cstdio>

#include "platform/system/data_paths.h"

std::string warningFile(const std::string& userConfigFolder) {
    return userConfigFolder.empty() ? std::string() : userConfigFolder + "/" + kWarningFileName;
}

bool warningDue(const std::string& userConfigFolder) {
    std::string file = warningFile(userConfigFolder);
    return file.empty() || !pathExists(file);
}

bool keepWarning(const std::string& userConfigFolder) {
    std::string file = warningFile(userConfigFolder);
    if (file.empty() || !makeFolders(userConfigFolder)) return false;
    std::FILE* out = std::fopen(file.c_str(), "w");
    if (out == nullptr) return false;
    bool written = std::fprintf(out, "%s\n", kPhotosensitivityWarning) > 0;
    return std::fclose(out) == 0 && written;
}
