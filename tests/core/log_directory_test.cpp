// Where the daily log goes: --log-dir when given, the current directory for a
// copy that may write beside itself, else the per-user data folder.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/ExecutableDir.h"
#include "platform/LogDirectory.h"
#include "support/ScratchDir.h"

namespace kestrane {
namespace {

namespace fs = std::filesystem;

class LogDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A regular file stands in for a program folder nobody may write, root
        // included: the installed case.
        fs::create_directories(root_ / "home");
        std::ofstream((root_ / "installed").string()) << "x";
    }

    std::string Installed() const { return (root_ / "installed").string(); }
    std::string Portable() const { return root_.string(); }
    std::string Home() const { return (root_ / "home").string(); }

    testing::ScratchDir scratch_{"kestrane-logdir"};
    const fs::path root_ = scratch_.Path();
};

TEST_F(LogDirectoryTest, OverrideWinsAndIsCreated) {
    const std::string wanted = (root_ / "chosen" / "logs").string();
    for (const std::string& exeDir : {Installed(), Portable()}) {
        EXPECT_EQ(ChooseLogDirectory(wanted, exeDir, "/xdg", Home().c_str()), wanted + "/");
        EXPECT_EQ(ChooseLogDirectory(wanted + "/", exeDir, nullptr, nullptr), wanted + "/");
    }
    EXPECT_TRUE(fs::is_directory(wanted));
}

TEST_F(LogDirectoryTest, PortableCopyWritesToTheCurrentDirectory) {
    const std::string xdg = (root_ / "xdg").string();
    EXPECT_EQ(ChooseLogDirectory({}, Portable(), xdg.c_str(), Home().c_str()), "./");
    EXPECT_FALSE(fs::exists(xdg));
}

TEST_F(LogDirectoryTest, InstalledProgramUsesXdgDataHomeThenHome) {
    const std::string xdg = (root_ / "xdg").string();
    EXPECT_EQ(ChooseLogDirectory({}, Installed(), xdg.c_str(), Home().c_str()),
              xdg + "/kestrane/logs/");
    EXPECT_TRUE(fs::is_directory(xdg + "/kestrane/logs"));

    const std::string underHome = Home() + "/.local/share/kestrane/logs/";
    EXPECT_EQ(ChooseLogDirectory({}, Installed(), nullptr, Home().c_str()), underHome);
    EXPECT_EQ(ChooseLogDirectory({}, Installed(), "not/absolute", Home().c_str()), underHome);
    EXPECT_TRUE(fs::is_directory(underHome));
}

TEST_F(LogDirectoryTest, NowhereToCreateTheFolderFallsBackToTheCurrentDirectory) {
    EXPECT_EQ(ChooseLogDirectory({}, Installed(), nullptr, Installed().c_str()), "./");
    EXPECT_EQ(ChooseLogDirectory({}, Installed(), nullptr, nullptr), "./");
}

TEST_F(LogDirectoryTest, AProgramUnderUsrOrInAFolderOfAnotherUserIsInstalledEvenWhenWritable) {
    EXPECT_TRUE(IsPortableCopyDirectory(Portable()));
    EXPECT_FALSE(IsPortableCopyDirectory(Installed()));
    // Root may write /usr/bin, but a program there is an installed one.
    EXPECT_FALSE(IsPortableCopyDirectory("/usr/bin"));
    EXPECT_FALSE(IsPortableCopyDirectory("/usr/bin/"));
    EXPECT_NE(ChooseConfigDirectory("/usr/bin", nullptr, Home().c_str()), "/usr/bin/");
    EXPECT_NE(ChooseLogDirectory({}, "/usr/bin", nullptr, Home().c_str()), "./");
    if (geteuid() == 0) {
        // A folder root may write but another user owns.
        const fs::path other = root_ / "other";
        fs::create_directories(other);
        ASSERT_EQ(chown(other.c_str(), 65534, 65534), 0);
        EXPECT_FALSE(IsPortableCopyDirectory(other.string()));
    }
}

// The log leaves the current directory exactly when the settings file leaves
// the program's folder: both ask the same question of the same folder.
TEST_F(LogDirectoryTest, MovesExactlyWhenTheSettingsFileMoves) {
    for (const std::string& exeDir : {Installed(), Portable()}) {
        const bool settingsMoved =
            ChooseConfigDirectory(exeDir, nullptr, Home().c_str()) != exeDir + "/";
        const bool logMoved = ChooseLogDirectory({}, exeDir, nullptr, Home().c_str()) != "./";
        EXPECT_EQ(settingsMoved, logMoved) << exeDir;
    }
}

}  // namespace
}  // namespace kestrane
