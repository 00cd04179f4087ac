// The INI settings file: what a reader finds, and what a write changes and
// leaves alone.
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/ProfileFile.h"
#include "support/ScratchDir.h"

namespace kestrane {
namespace {

namespace fs = std::filesystem;

class ProfileFileTest : public ::testing::Test {
protected:
    void WriteRaw(const std::string& content) { std::ofstream(path_, std::ios::binary) << content; }
    std::string ReadRaw() const {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    std::string Get(const std::string& section, const std::string& key) const {
        return GetProfileString(section, key, "NULL", path_);
    }

    testing::ScratchDir scratch_{"kestrane-ini"};
    const fs::path dir_ = scratch_.Path();
    const std::string path_ = (dir_ / "Configfiles.ini").string();
};

TEST_F(ProfileFileTest, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(Get("SysLanguage", "Language"), "NULL");
    EXPECT_FALSE(FileExists(path_));
    WriteRaw("[COMSET]\nADDR=12\n");
    EXPECT_EQ(Get("Colour", "BackColour"), "NULL");
    EXPECT_EQ(Get("COMSET", "BAUD"), "NULL");
    EXPECT_EQ(GetProfileString("COMSET", "BAUD", "dflt  ", path_), "dflt");
    EXPECT_TRUE(FileExists(path_));
    EXPECT_FALSE(FileExists(dir_.string()));
}

TEST_F(ProfileFileTest, FirstStartDefaultsRoundTrip) {
    ASSERT_TRUE(WriteProfileString("SysLanguage", "Language", "ENGLISH", path_));
    ASSERT_TRUE(WriteProfileString("COMSET", "ADDR", "1", path_));
    ASSERT_TRUE(WriteProfileString("Colour", "BackColour", "1", path_));
    EXPECT_EQ(ReadRaw(),
              "[SysLanguage]\nLanguage=ENGLISH\n[COMSET]\nADDR=1\n[Colour]\nBackColour=1\n");
    EXPECT_EQ(Get("SysLanguage", "Language"), "ENGLISH");
    EXPECT_EQ(Get("COMSET", "ADDR"), "1");
    EXPECT_EQ(Get("Colour", "BackColour"), "1");
}

TEST_F(ProfileFileTest, NamesMatchWithoutRegardToCaseAndBlanksAreTrimmed) {
    WriteRaw("[ sysLANGUAGE ]\n  language =  CHINESE \t\n[comset]\nAddr=\"12\"\n");
    EXPECT_EQ(Get("SysLanguage", "Language"), "CHINESE");
    EXPECT_EQ(Get("COMSET", "ADDR"), "12");  // one pair of quotes is stripped

    ASSERT_TRUE(WriteProfileString("SYSLANGUAGE", "LANGUAGE", "ENGLISH", path_));
    EXPECT_EQ(ReadRaw(), "[ sysLANGUAGE ]\n  language=ENGLISH\n[comset]\nAddr=\"12\"\n");
}

TEST_F(ProfileFileTest, PresentButEmptyValueReadsEmpty) {
    WriteRaw("[COMSET]\nADDR=\n");
    EXPECT_EQ(Get("COMSET", "ADDR"), "");
    ASSERT_TRUE(WriteProfileString("COMSET", "ADDR", "", path_));
    EXPECT_EQ(ReadRaw(), "[COMSET]\nADDR=\n");
    EXPECT_EQ(Get("COMSET", "ADDR"), "");
}

TEST_F(ProfileFileTest, WriteReplacesInPlaceAndKeepsEveryOtherLine) {
    const std::string before =
        "; written by hand\n"
        "[SysLanguage]\n"
        "Language=CHINESE\n"
        "\n"
        "[Unknown]\n"
        "Kept = as it was \n"
        "no equals sign here\n"
        "\n"
        "[COMSET]\n"
        "; the bus address\n"
        "ADDR=5\n"
        "\n"
        "[Colour]\n"
        "BackColour=2\n";
    WriteRaw(before);
    ASSERT_TRUE(WriteProfileString("COMSET", "ADDR", "12", path_));
    std::string expected = before;
    expected.replace(expected.find("ADDR=5"), 6, "ADDR=12");
    EXPECT_EQ(ReadRaw(), expected);

    // A new key goes at the end of its section, before the blank separator.
    ASSERT_TRUE(WriteProfileString("SysLanguage", "Extra", "x", path_));
    expected.replace(expected.find("Language=CHINESE\n") + 17, 0, "Extra=x\n");
    EXPECT_EQ(ReadRaw(), expected);
    EXPECT_EQ(Get("Unknown", "Kept"), "as it was");
    EXPECT_EQ(Get("COMSET", "ADDR"), "12");
}

TEST_F(ProfileFileTest, CrLfFilesAreReadAndStayCrLf) {
    WriteRaw("[COMSET]\r\nADDR=7\r\n[Colour]\r\nBackColour=3");
    EXPECT_EQ(Get("COMSET", "ADDR"), "7");
    EXPECT_EQ(Get("Colour", "BackColour"), "3");
    ASSERT_TRUE(WriteProfileString("COMSET", "ADDR", "8", path_));
    ASSERT_TRUE(WriteProfileString("Colour", "Other", "1", path_));
    ASSERT_TRUE(WriteProfileString("SysLanguage", "Language", "ENGLISH", path_));
    EXPECT_EQ(ReadRaw(),
              "[COMSET]\r\nADDR=8\r\n[Colour]\r\nBackColour=3\r\nOther=1\r\n"
              "[SysLanguage]\r\nLanguage=ENGLISH\r\n");
}

TEST_F(ProfileFileTest, ByteOrderMarkDoesNotHideTheFirstSection) {
    WriteRaw("\xEF\xBB\xBF[COMSET]\nADDR=9\n");
    EXPECT_EQ(Get("COMSET", "ADDR"), "9");
    ASSERT_TRUE(WriteProfileString("COMSET", "ADDR", "10", path_));
    EXPECT_EQ(ReadRaw(), "\xEF\xBB\xBF[COMSET]\nADDR=10\n");
}

TEST_F(ProfileFileTest, ValuesAreReadUpToTheBufferLength) {
    std::string longValue(400, 'v');
    ASSERT_TRUE(WriteProfileString("SysLanguage", "Language", longValue, path_));
    EXPECT_EQ(Get("SysLanguage", "Language"), std::string(kProfileValueMaxLength, 'v'));
}

TEST_F(ProfileFileTest, WritesThatWouldBreakTheFileAreRefused) {
    WriteRaw("[COMSET]\nADDR=5\n");
    EXPECT_FALSE(WriteProfileString("COMSET", "ADDR", "5\n[Evil]\nx=1", path_));
    EXPECT_FALSE(WriteProfileString("COMSET", "A=B", "1", path_));
    EXPECT_FALSE(WriteProfileString("COM]SET", "ADDR", "1", path_));
    EXPECT_FALSE(WriteProfileString("", "ADDR", "1", path_));
    EXPECT_FALSE(WriteProfileString("COMSET", " ", "1", path_));
    EXPECT_EQ(ReadRaw(), "[COMSET]\nADDR=5\n");
}

TEST_F(ProfileFileTest, WriteToAnUnwritableDirectoryFailsAndLeavesNoTrace) {
    fs::path notADir = dir_ / "plain-file";
    std::ofstream(notADir) << "x";
    EXPECT_FALSE(WriteProfileString("COMSET", "ADDR", "1", (notADir / "Configfiles.ini").string()));
    EXPECT_FALSE(WriteProfileString("COMSET", "ADDR", "1", "/proc/kestrane/Configfiles.ini"));

    // Where permissions hold (not as root), a read-only directory keeps the
    // old file whole and gains no temporary files.
    WriteRaw("[COMSET]\nADDR=5\n");
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    bool written = WriteProfileString("COMSET", "ADDR", "6", path_);
    fs::permissions(dir_, fs::perms::owner_all);
    if (!written) {
        EXPECT_EQ(ReadRaw(), "[COMSET]\nADDR=5\n");
    }
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir_))
        ++entries;
    EXPECT_EQ(entries, 2);  // the settings file and plain-file
}

TEST_F(ProfileFileTest, WriteKeepsTheFileModeAndWritesThroughALink) {
    WriteRaw("[COMSET]\nADDR=5\n");
    fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write);
    fs::path link = dir_ / "link.ini";
    fs::create_symlink(path_, link);
    ASSERT_TRUE(WriteProfileString("COMSET", "ADDR", "6", link.string()));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Get("COMSET", "ADDR"), "6");
    EXPECT_EQ(fs::status(path_).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(ProfileFileTest, LeadingNumberReadsAsAtoiDoes) {
    const std::pair<const char*, int> cases[] = {
        {"NULL", 0}, {"", 0},    {"300", 300},  {" 12x", 12},
        {"-3", -3},  {"+5", 5},  {"12 34", 12}, {"99999999999", 2147483647},
        {"x1", 0},   {"\t7", 7},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(LeadingNumber(text), expected) << '"' << text << '"';
    }
}

}  // namespace
}  // namespace kestrane
