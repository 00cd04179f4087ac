// Where backups go and what they are called: never outside their directory,
// never over an earlier one.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "profile/ProfileBackup.h"
#include "support/ScratchDir.h"

namespace kestrane::profile {
namespace {

TEST(ProfileBackup, DirectoryFollowsTheBaseDirectoryRules) {
    EXPECT_EQ(BackupDirectory("/data", "/home/u"), "/data/kestrane/backups");
    EXPECT_EQ(BackupDirectory(nullptr, "/home/u"), "/home/u/.local/share/kestrane/backups");
    EXPECT_EQ(BackupDirectory("", "/home/u"), "/home/u/.local/share/kestrane/backups");
    EXPECT_EQ(BackupDirectory("relative", "/home/u"), "/home/u/.local/share/kestrane/backups");
    EXPECT_EQ(BackupDirectory(nullptr, nullptr), "");
}

TEST(ProfileBackup, NameKeepsAControllersSerialInsideTheDirectory) {
    setenv("TZ", "UTC", 1);
    tzset();
    const std::time_t when = 1780299000;  // 2026-06-01 07:30:00 UTC
    EXPECT_EQ(BackupName("KS2026A000000042", when), "KS2026A000000042-20260601-073000.json");
    EXPECT_EQ(BackupName("../etc/pass wd", when), ".._etc_pass_wd-20260601-073000.json");
    EXPECT_EQ(BackupName("", when), "unknown-20260601-073000.json");
    EXPECT_EQ(BackupName("..", when), "unknown-20260601-073000.json");
    EXPECT_EQ(UtcStamp(when), "2026-06-01T07:30:00Z");
}

TEST(ProfileBackup, LaterBackupsOfTheSameMomentGetTheirOwnFiles) {
    const testing::ScratchDir scratch("kestrane-backup");
    const std::string directory = (scratch.Path() / "a" / "b").string();
    std::string error;
    const auto first = WriteBackup(directory, "S-1.json", "one", error);
    const auto second = WriteBackup(directory, "S-1.json", "two", error);
    ASSERT_TRUE(first && second) << error;
    EXPECT_EQ(*first, directory + "/S-1.json");
    EXPECT_EQ(*second, directory + "/S-1-2.json");
    std::stringstream text;
    text << std::ifstream(*first).rdbuf();
    EXPECT_EQ(text.str(), "one");
}

TEST(ProfileBackup, UnwritableDirectoryIsReportedWithItsReason) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into a read-only directory";
    const testing::ScratchDir scratch("kestrane-backup");
    const std::string directory = scratch.Path().string();
    std::string error;
    ::chmod(directory.c_str(), 0500);
    EXPECT_FALSE(WriteBackup(directory, "S-2.json", "three", error));
    EXPECT_NE(error.find("cannot create " + directory + "/S-2.json"), std::string::npos) << error;
    ::chmod(directory.c_str(), 0700);
}

}  // namespace
}  // namespace kestrane::profile
