// The three settings as a start finds them in the settings file, and the
// defaults that complete a file a killed start left part-written.
#include <sys/stat.h>

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "SettingsDirFixture.h"
#include "ui/tables/StoredSettings.h"

namespace kestrane {
namespace {

using StoredSettingsTest = testing::SettingsDirFixture;

TEST_F(StoredSettingsTest, OneReadFindsTheThreeSettingsOrTheirAbsence) {
    StoredSettings none = ReadStoredSettings(path);
    EXPECT_FALSE(none.fileExists);
    EXPECT_EQ(none.LanguageFlag(), "NULL");
    EXPECT_EQ(none.ColourIndex(), 0);
    EXPECT_EQ(none.AddressIndex(), 0);

    WriteFile("[colour]\r\nbackcolour=3\r\n[SYSLANGUAGE]\r\nLanguage=CHINESE\r\n");
    StoredSettings partial = ReadStoredSettings(path);
    EXPECT_TRUE(partial.fileExists);
    EXPECT_EQ(partial.language, "CHINESE");
    EXPECT_EQ(partial.colour, "3");
    EXPECT_EQ(partial.ColourIndex(), 3);
    EXPECT_EQ(partial.address, std::nullopt);
}

// The address list holds 1 to 247. A stored address outside it, or none, must
// not leave the window polling address 0 (every controller's broadcast
// address): the start selects address 1, the first-start default.
TEST_F(StoredSettingsTest, OnlyAnAddressOfTheListIsSelectedOtherwiseAddressOne) {
    struct Case {
        std::optional<std::string> stored;
        int index;
    };
    for (const Case& c : {Case{"12", 11}, Case{"1", 0}, Case{"247", 246}, Case{" 7abc", 6},
                          Case{std::nullopt, 0}, Case{"", 0}, Case{"0", 0}, Case{"NULL", 0},
                          Case{"248", 0}, Case{"300", 0}, Case{"-5", 0}, Case{"99999999999", 0}}) {
        StoredSettings stored;
        stored.fileExists = true;
        stored.address = c.stored;
        EXPECT_EQ(stored.AddressIndex(), c.index) << c.stored.value_or("(missing)");
    }
}

TEST_F(StoredSettingsTest, MissingSettingsGetTheirDefaultsAndPresentOnesStay) {
    // A first start killed after its first key: only the language is there.
    WriteFile("[SysLanguage]\nLanguage=CHINESE\n");
    ASSERT_TRUE(WriteMissingSettings(path, ReadStoredSettings(path), "1"));
    EXPECT_EQ(FileContent(),
              "[SysLanguage]\nLanguage=CHINESE\n[COMSET]\nADDR=1\n[Colour]\nBackColour=1\n");

    // Damaged values are left for the reader's rules, not rewritten.
    WriteFile("[COMSET]\r\nADDR=0\r\n[Colour]\r\nBackColour=x\r\n");
    ASSERT_TRUE(WriteMissingSettings(path, ReadStoredSettings(path), "0"));
    EXPECT_EQ(
        FileContent(),
        "[COMSET]\r\nADDR=0\r\n[Colour]\r\nBackColour=x\r\n[SysLanguage]\r\nLanguage=ENGLISH\r\n");

    // A complete file is not written at all.
    struct stat before {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    ASSERT_TRUE(WriteMissingSettings(path, ReadStoredSettings(path), "1"));
    struct stat after {};
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);

    std::filesystem::remove(path);
    ASSERT_TRUE(WriteMissingSettings(path, ReadStoredSettings(path), "0"));
    EXPECT_EQ(FileContent(),
              "[SysLanguage]\nLanguage=ENGLISH\n[COMSET]\nADDR=1\n[Colour]\nBackColour=0\n");
}

}  // namespace
}  // namespace kestrane
