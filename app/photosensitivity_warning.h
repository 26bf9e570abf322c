// The photosensitivity warning: one line, shown at a person's first start as the first line of
// the loading dialog's status list, then kept as a file in the user's configuration folder,
// whose presence says it was shown. Runs without dialogs (batch runs, recordings, benchmarks)
// neither show nor keep it. The README carries the same line.
#pragma once

#include <string>

inline constexpr const char* kPhotosensitivityWarning =
    "Photosensitivity warning: this demo shows flashing lights and quick changes of "
    "brightness; if you or anyone watching has epilepsy or feels unwell, stop watching.";
inline constexpr const char* kWarningFileName = "photosensitivity-warning.txt";

// The file that keeps the warning in the folder (empty for no folder: no HOME).
std::string warningFile(const std::string& userConfigFolder);
// The warning has not been kept yet (always true without a folder).
bool warningDue(const std::string& userConfigFolder);
// Writes the warning's line into the file, making the folder; false where it cannot.
bool keepWarning(const std::string& userConfigFolder);
