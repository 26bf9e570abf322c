// Where film03 takes its two files from. The working folder comes first: its "Film_03.dat"
// and its "ConfigEngine.cfg" are used whenever they are there. An installed program (one whose
// data folder exists beside it, <bin>/../share/film03) falls back to the archive in that data
// folder, and keeps the user's configuration in $XDG_CONFIG_HOME/film03/ConfigEngine.cfg, which
// the first start copies from the one the installation ships. A program that is not installed
// behaves as if only the working folder existed.
#pragma once

#include <string>

inline constexpr const char* kArchiveFileName = "Film_03.dat";

struct FileLocations {
    std::string archive;       // the bigfile to read; "Film_03.dat" when none was found
    std::string configuration; // the configuration file to read and rewrite
    // Where the texture cache files go: empty (the working folder) for a program that is not
    // installed; $XDG_CACHE_HOME/film03 for an installed one, whose working folder may be
    // anyone's (the home folder, from a desktop entry).
    std::string textureCache;
};

// The folders the choice looks at, taken from the program's place and its environment.
struct FileSearchFolders {
    std::string installedData; // empty or missing: not an installed program
    std::string userConfig;    // empty: no usable XDG_CONFIG_HOME or HOME
    std::string userCache;     // empty: no usable XDG_CACHE_HOME or HOME
};

// This program's folders: the data folder compiled in relative to the executable, and the
// XDG configuration folder of "film03".
FileSearchFolders programSearchFolders();

// Chooses the two files and copies the shipped configuration into the user's folder when it is
// needed there and missing. Where the copy fails, the working folder's name is kept, so the
// configuration behaves as if there were none (built-in defaults, with the notice).
FileLocations locateProgramFiles(const FileSearchFolders& folders);
