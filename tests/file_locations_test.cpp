// Where the program takes its archive and configuration from: the path rules of the data and
// configuration folders, the copy of the shipped configuration, and the precedence of the
// working folder over an installation.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "app/file_locations.h"
#include "config/configuration.h"
#include "platform/system/data_paths.h"
#include "support/test_support.h"

namespace {

std::vector<unsigned char> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

TEST(DataPaths, UserConfigFolderFollowsXdgThenHome) {
    EXPECT_EQ(userConfigFolder("/x/conf", "/home/u", "film03"), "/x/conf/film03");
    EXPECT_EQ(userConfigFolder("/x/conf/", "/home/u", "film03"), "/x/conf/film03");
    // Unset, empty and relative values are not used.
    EXPECT_EQ(userConfigFolder(nullptr, "/home/u", "film03"), "/home/u/.config/film03");
    EXPECT_EQ(userConfigFolder("", "/home/u", "film03"), "/home/u/.config/film03");
    EXPECT_EQ(userConfigFolder("conf", "/home/u", "film03"), "/home/u/.config/film03");
    EXPECT_EQ(userConfigFolder(nullptr, nullptr, "film03"), "");
    EXPECT_EQ(userConfigFolder("", "relative", "film03"), "");
}

TEST(DataPaths, InstalledDataFolderIsTakenFromTheExecutable) {
    EXPECT_EQ(installedDataFolder("/opt/demo/bin", "../share/film03"),
              "/opt/demo/bin/../share/film03");
    EXPECT_EQ(installedDataFolder("/opt/demo/bin", "/usr/share/film03"), "/usr/share/film03");
    EXPECT_EQ(installedDataFolder("", "../share/film03"), "");
    // The test program's own folder is found.
    EXPECT_TRUE(isFolder(executableFolder()));
}

TEST(DataPaths, FindDataFilePrefersTheWorkingFolder) {
    TempDir work, installed;
    writeWholeFile(installed.file("a.dat"), bytesOf("installed"));
    ScopedChdir inWork(work.path);
    EXPECT_EQ(findDataFile("a.dat", installed.path), installed.file("a.dat"));
    EXPECT_EQ(findDataFile("b.dat", installed.path), "");
    EXPECT_EQ(findDataFile("a.dat", ""), "");
    writeWholeFile(work.file("a.dat"), bytesOf("working"));
    EXPECT_EQ(findDataFile("a.dat", installed.path), "a.dat");
}

TEST(DataPaths, CopyMakesTheFoldersAndLeavesNothingWhenItFails) {
    TempDir dir;
    writeWholeFile(dir.file("source"), bytesOf("eighty bytes or so"));
    std::string nested = dir.path + "/one/two/copy";
    ASSERT_TRUE(copyFileMakingFolders(dir.file("source"), nested));
    EXPECT_EQ(readWholeFile(nested), bytesOf("eighty bytes or so"));
    struct stat status;
    ASSERT_EQ(stat((dir.path + "/one").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0077, 0u); // a new configuration folder is private

    EXPECT_FALSE(copyFileMakingFolders(dir.file("missing"), dir.file("copy2")));
    EXPECT_FALSE(pathExists(dir.file("copy2")));
    EXPECT_FALSE(pathExists(dir.file("copy2.partial")));
    // A file stands where a folder is needed.
    EXPECT_FALSE(copyFileMakingFolders(dir.file("source"), dir.file("source") + "/sub/copy"));
    EXPECT_FALSE(copyFileMakingFolders(dir.file("source"), ""));
}

// An installation (bin/ and share/film03/ under a prefix), a user's configuration folder and
// an empty working folder.
struct FileLocationsTest : testing::Test {
    TempDir prefix, home, work;
    FileSearchFolders folders;
    void SetUp() override {
        folders.installedData = prefix.path + "/share/film03";
        folders.userConfig = home.path + "/.config/film03";
        std::filesystem::create_directories(folders.installedData);
        writeWholeFile(shipped(), bytesOf("shipped configuration"));
        writeWholeFile(installedArchive(), bytesOf("installed archive"));
    }
    std::string shipped() const { return folders.installedData + "/ConfigEngine.cfg"; }
    std::string installedArchive() const { return folders.installedData + "/Film_03.dat"; }
    std::string userFile() const { return folders.userConfig + "/ConfigEngine.cfg"; }
};

TEST_F(FileLocationsTest, AnEmptyWorkingFolderUsesTheInstallation) {
    ScopedChdir inWork(work.path);
    FileLocations chosen = locateProgramFiles(folders);
    EXPECT_EQ(chosen.archive, installedArchive());
    EXPECT_EQ(chosen.configuration, userFile());
    EXPECT_EQ(readWholeFile(userFile()), bytesOf("shipped configuration"));
}

TEST_F(FileLocationsTest, TheUsersConfigurationIsKeptOnceItExists) {
    writeWholeFile(home.file("keep"), bytesOf("the user's choices"));
    ASSERT_TRUE(copyFileMakingFolders(home.file("keep"), userFile()));
    ScopedChdir inWork(work.path);
    EXPECT_EQ(locateProgramFiles(folders).configuration, userFile());
    EXPECT_EQ(readWholeFile(userFile()), bytesOf("the user's choices"));
}

TEST_F(FileLocationsTest, TheWorkingFolderWins) {
    writeWholeFile(work.file("ConfigEngine.cfg"), bytesOf("working configuration"));
    writeWholeFile(work.file("film_03.DAT"), bytesOf("working archive")); // any letter case
    ScopedChdir inWork(work.path);
    FileLocations chosen = locateProgramFiles(folders);
    EXPECT_EQ(chosen.archive, "Film_03.dat");
    EXPECT_EQ(chosen.configuration, "ConfigEngine.cfg");
    EXPECT_FALSE(pathExists(userFile())) << "nothing is copied when it is not used";
}

TEST_F(FileLocationsTest, WithoutAShippedOrUserConfigurationTheDefaultsApply) {
    ASSERT_EQ(std::remove(shipped().c_str()), 0);
    ScopedChdir inWork(work.path);
    FileLocations chosen = locateProgramFiles(folders);
    EXPECT_EQ(chosen.archive, installedArchive());
    EXPECT_EQ(chosen.configuration, "ConfigEngine.cfg");
    EXPECT_FALSE(pathExists(userFile()));
}

TEST_F(FileLocationsTest, AFailedCopyFallsBackToTheWorkingFolder) {
    writeWholeFile(home.file(".config"), bytesOf("a file where the folder should be"));
    ScopedChdir inWork(work.path);
    EXPECT_EQ(locateProgramFiles(folders).configuration, "ConfigEngine.cfg");
    folders.userConfig.clear(); // neither XDG_CONFIG_HOME nor HOME usable
    EXPECT_EQ(locateProgramFiles(folders).configuration, "ConfigEngine.cfg");
}

TEST_F(FileLocationsTest, AProgramThatIsNotInstalledUsesOnlyTheWorkingFolder) {
    folders.installedData = prefix.path + "/share/missing";
    ScopedChdir inWork(work.path);
    FileLocations chosen = locateProgramFiles(folders);
    EXPECT_EQ(chosen.archive, "Film_03.dat");
    EXPECT_EQ(chosen.configuration, "ConfigEngine.cfg");
    EXPECT_FALSE(pathExists(userFile()));
}

// The configuration file is read and written where the program points it, and its messages
// name that file.
TEST(ConfigurationPath, LoadAndSaveUseTheChosenFile) {
    TempDir dir;
    configState = ConfigState{};
    configState.filePath = dir.file("ConfigEngine.cfg");
    BoxRecorder boxes;
    loadConfiguration();
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_NE(boxes.boxes[0].text.find("File : " + configState.filePath), std::string::npos);
    EXPECT_NE(boxes.boxes[1].text.find("\"" + configState.filePath + "\""), std::string::npos);

    writeWholeFile(configState.filePath, std::vector<unsigned char>(80, 0));
    configState.record.block1.screenWidth = 640;
    saveConfiguration();
    std::vector<unsigned char> saved = readWholeFile(configState.filePath);
    ASSERT_EQ(saved.size(), 80u);
    EXPECT_EQ(saved[16] | saved[17] << 8, 640);
    configState = ConfigState{};
}

} // namespace
