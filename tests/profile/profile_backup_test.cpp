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

TEST(ProfileBackup, OnlyTheNamesAControllersBackupsGetAreKnownAsItsBackups) {
    setenv("TZ", "UTC", 1);
    tzset();
    const std::time_t when = 1780299000;
    EXPECT_EQ(BackupTime(BackupName("KS42", when), "KS42"), when);
    EXPECT_EQ(BackupTime("KS42-20260601-073000-2.json", "KS42"), when);
    EXPECT_EQ(BackupTime("KS42-20260601-073000-999.json", "KS42"), when);
    EXPECT_EQ(BackupTime(".._etc_pass_wd-20260601-073000.json", "../etc/pass wd"), when);
    for (const char* name :
         {"KS43-20260601-073000.json", "KS42-20260601-073000-1000.json", "KS42-2026061-073000.json",
          "KS42-20260601-073000-.json", "KS42-20260601-073000.json.bak",
          "KS42-20260601_073000.json", "KS42-2026060a-073000.json", "../KS42-20260601-073000.json",
          "KS42-notes.json"})
        EXPECT_FALSE(BackupTime(name, "KS42")) << name;
}

TEST(ProfileBackup, ListingAndReadingFindOnlyThisControllersRegularFiles) {
    setenv("TZ", "UTC", 1);
    tzset();
    const testing::ScratchDir scratch("kestrane-backup");
    const std::string directory = scratch.Path().string();
    std::ofstream(directory + "/KS42-20260601-073000.json") << "older";
    std::ofstream(directory + "/KS42-20260602-073000.json") << "newer";
    std::ofstream(directory + "/KS42-20260602-073000-2.json") << "newer still";
    std::ofstream(directory + "/KS43-20260603-073000.json") << "another controller";
    std::ofstream(directory + "/KS42-20260604-073000.json") << std::string(100, 'x');
    ::symlink("/etc/hostname", (directory + "/KS42-20260605-073000.json").c_str());
    std::vector<std::string> names;
    for (const BackupEntry& entry : ListBackups(directory, "KS42"))
        names.push_back(entry.name);
    EXPECT_EQ(names,
              (std::vector<std::string>{"KS42-20260604-073000.json", "KS42-20260602-073000-2.json",
                                        "KS42-20260602-073000.json", "KS42-20260601-073000.json"}));
    EXPECT_EQ(ReadBackup(directory, "KS42-20260601-073000.json", "KS42", 64), "older");
    EXPECT_FALSE(ReadBackup(directory, "KS42-20260604-073000.json", "KS42", 64));  // too long
    EXPECT_FALSE(ReadBackup(directory, "KS42-20260605-073000.json", "KS42", 64));  // a link
    EXPECT_FALSE(ReadBackup(directory, "KS43-20260603-073000.json", "KS42", 64));
    EXPECT_TRUE(ListBackups(directory + "/missing", "KS42").empty());
}

}  // namespace
}  // namespace kestrane::profile
