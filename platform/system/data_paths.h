// Where a program finds its files outside the working folder: the data folder of its
// installation, found from the executable's own place, and the user's configuration folder
// ($XDG_CONFIG_HOME). Path logic only, with the environment passed in, plus the two file
// operations the choice needs. The callers name the files.
#pragma once

#include <string>

// The folder holding the running executable ("/usr/bin" for "/usr/bin/film03"); empty when
// the system does not tell.
std::string executableFolder();

// The installation's data folder: fromExecutable ("../share/film03") taken from the
// executable's folder, so that a moved installation still finds its data; an absolute
// fromExecutable is used as it is. Empty when exeFolder is empty and fromExecutable relative.
std::string installedDataFolder(const std::string& exeFolder, const std::string& fromExecutable);

// The program's folder in the user's configuration folder: xdgConfigHome/program, or
// home/.config/program when xdgConfigHome is unset, empty or not absolute. Empty when neither
// gives an absolute path. Pass getenv("XDG_CONFIG_HOME") and getenv("HOME").
std::string userConfigFolder(const char* xdgConfigHome, const char* home,
                             const std::string& program);
// The same rule for any of the user's XDG folders: xdgHome/program, else
// home/homeFolder/program (".cache" for $XDG_CACHE_HOME).
std::string userFolder(const char* xdgHome, const char* home, const char* homeFolder,
                       const std::string& program);

// name when the working folder holds it; otherwise folder/name when that exists; otherwise
// empty. An empty folder is not searched.
std::string findDataFile(const std::string& name, const std::string& folder);

bool pathExists(const std::string& path);
// Creates every missing folder of path (private to the user), as mkdir -p does; true when
// path is a folder afterwards.
bool makeFolders(const std::string& path);
bool isFolder(const std::string& path);

// Copies source to destination, creating the missing folders on the way (private to the
// user, as configuration folders are). The copy appears under its name only once it is whole.
// False when anything fails; nothing is left behind under the destination's name then.
bool copyFileMakingFolders(const std::string& source, const std::string& destination);
