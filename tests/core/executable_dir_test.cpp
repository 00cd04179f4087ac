// Where the settings file goes: beside the program when it may write there,
// else in the user's configuration directory.
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/ExecutableDir.h"
#include "support/ScratchDir.h"

namespace kestrane {
namespace {

namespace fs = std::filesystem;

class ConfigDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A regular file stands in for a directory nobody may write, root included.
        fs::create_directories(root_ / "home");
        std::ofstream((root_ / "readonly").string()) << "x";
    }

    std::string Unwritable() const { return (root_ / "readonly").string(); }
    testing::ScratchDir scratch_{"kestrane-cfg"};
    const fs::path root_ = scratch_.Path();
};

TEST(ExecutableDirectoryTest, IsTheTestBinarysDirectoryWithTrailingSlash) {
    std::string dir = ExecutableDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_EQ(dir.front(), '/');
    EXPECT_TRUE(fs::exists(fs::path(dir) / "kestrane_core_tests"));
}

TEST_F(ConfigDirectoryTest, WritableExecutableDirectoryIsUsed) {
    std::string exeDir = root_.string();
    EXPECT_EQ(ChooseConfigDirectory(exeDir, nullptr, nullptr), exeDir + "/");
    EXPECT_EQ(ChooseConfigDirectory(exeDir + "/", "/elsewhere", "/home/x"), exeDir + "/");
}

TEST_F(ConfigDirectoryTest, FallsBackToXdgConfigHomeThenHome) {
    std::string xdg = (root_ / "xdg").string();
    std::string home = (root_ / "home").string();
    EXPECT_EQ(ChooseConfigDirectory(Unwritable(), xdg.c_str(), home.c_str()), xdg + "/kestrane/");
    EXPECT_TRUE(fs::is_directory(xdg + "/kestrane"));

    std::string expected = home + "/.config/kestrane/";
    EXPECT_EQ(ChooseConfigDirectory(Unwritable(), nullptr, home.c_str()), expected);
    EXPECT_EQ(ChooseConfigDirectory(Unwritable(), "relative/ignored", home.c_str()), expected);
    EXPECT_TRUE(fs::is_directory(expected));
}

TEST_F(ConfigDirectoryTest, NowhereToWriteGivesTheExecutableDirectory) {
    std::string blockedHome = (root_ / "readonly").string();
    EXPECT_EQ(ChooseConfigDirectory(Unwritable(), nullptr, blockedHome.c_str()),
              Unwritable() + "/");
    EXPECT_EQ(ChooseConfigDirectory(Unwritable(), nullptr, nullptr), Unwritable() + "/");
}

TEST(ConfigDirectoryRealTest, EndsInSlashAndIsADirectory) {
    std::string dir = ConfigDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_TRUE(fs::is_directory(dir));
}

}  // namespace
}  // namespace kestrane
