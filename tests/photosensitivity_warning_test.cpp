// The photosensitivity warning: due until it is kept in the user's folder, which is made on
// the way; without a usable folder it stays due; the README carries the same line.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/photosensitivity_warning.h"
#include "support/test_support.h"

TEST(PhotosensitivityWarning, DueUntilKeptInTheUsersFolder) {
    TempDir dir;
    std::ofstream(dir.file("plain")) << "not a folder";
    const struct {
        std::string folder;
        bool kept;
    } cases[] = {
        {dir.file("config/film03"), true}, // made with its parent
        {dir.path, true},
        {"", false},                       // no HOME: shown at every start
        {dir.file("plain/film03"), false}, // a file in the way
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        EXPECT_TRUE(warningDue(c.folder));
        EXPECT_EQ(keepWarning(c.folder), c.kept);
        EXPECT_EQ(warningDue(c.folder), !c.kept);
        if (!c.kept) continue;
        std::ifstream file(warningFile(c.folder));
        std::string line;
        std::getline(file, line);
        EXPECT_EQ(line, kPhotosensitivityWarning);
    }
}

TEST(PhotosensitivityWarning, TheReadmeCarriesIt) {
    std::ifstream readme(ZORX_SOURCE_DIR "/README.md");
    std::stringstream text;
    text << readme.rdbuf();
    EXPECT_NE(text.str().find(kPhotosensitivityWarning), std::string::npos);
}
