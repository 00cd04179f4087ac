#include <string>

#include "SettingsDirFixture.h"
#include "ui/tables/ColourThemes.h"
#include "ui/tables/ThemeSelection.h"
#include "ui/tables/UiLanguage.h"

namespace kestrane::testing {
namespace {

constexpr int kLogos[] = {1268, 1269, 1270, 1271, 1276};
constexpr char kRestartEnglish[] =
    "Please restart the application software to make the modification take effect!";

class ThemeTest : public SettingsDirFixture {
protected:
    void Start(const std::string& language) {
        state.colourIndex = ReadColourIndex(path);
        ShowThemeLogo(window, state.colourIndex);
        WriteFileKeepingColour(language);
        ApplyLanguage(window, state, path);
    }
    void WriteFileKeepingColour(const std::string& language) {
        WriteFile(FileContent() + "[SysLanguage]\nLanguage=" + language + "\n");
    }
    int VisibleLogo() const {
        int visible = 0;
        for (int logo : kLogos) {
            if (window.IsVisible(logo)) {
                EXPECT_EQ(visible, 0) << "two logos visible";
                visible = logo;
            }
        }
        return visible;
    }
};

struct StoredCase {
    const char* stored;
    int index;
    int logo;  // 0: none
    int selection;
};

class StoredThemeTest : public ThemeTest, public ::testing::WithParamInterface<StoredCase> {};

TEST_P(StoredThemeTest, PicksLogoAndListSelection) {
    const StoredCase& c = GetParam();
    WriteFile(std::string("[Colour]\nBackColour=") + c.stored + "\n");
    Start("ENGLISH");
    EXPECT_EQ(state.colourIndex.load(), c.index);
    EXPECT_EQ(VisibleLogo(), c.logo);
    EXPECT_TRUE(window.IsVisible(1272));
    EXPECT_EQ(window.Selection(1011), c.selection);
    EXPECT_EQ(window.Selection(1009), c.selection);
}

INSTANTIATE_TEST_SUITE_P(Stored, StoredThemeTest,
                         ::testing::Values(StoredCase{"0", 0, 1268, 0}, StoredCase{"3", 3, 1276, 3},
                                           StoredCase{"2", 2, 1271, 2}, StoredCase{"4", 4, 1270, 4},
                                           StoredCase{"9", 9, 0, -1}, StoredCase{"-1", -1, 0, -1},
                                           StoredCase{"NULL", 0, 1268, 0},
                                           StoredCase{"abc", 0, 1268, 0}));

TEST_F(ThemeTest, MissingFileGivesThemeZero) {
    EXPECT_EQ(ReadColourIndex(path), 0);
}

TEST_F(ThemeTest, ShowingALogoHidesThePreviousOne) {
    ShowThemeLogo(window, 1);
    ShowThemeLogo(window, 3);
    EXPECT_EQ(VisibleLogo(), 1276);
    ShowThemeLogo(window, 7);
    EXPECT_EQ(VisibleLogo(), 0);
}

TEST_F(ThemeTest, SaveStoresTheShownListsChoiceAndAsksForRestart) {
    WriteFile("[Colour]\nBackColour=0\n");
    Start("ENGLISH");
    window.Select(1011, 4);  // "Light green"
    window.Select(1009, 2);  // hidden Chinese list: not used in English
    OnSaveBackground(window, state, path);
    EXPECT_EQ(state.colourIndex.load(), 4);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0], kRestartEnglish);
    EXPECT_EQ(ReadColourIndex(path), 4);
    // The logo keeps the theme of the start.
    EXPECT_EQ(VisibleLogo(), 1268);
}

TEST_F(ThemeTest, SaveInChineseUsesTheChineseList) {
    WriteFile("[Colour]\nBackColour=3\n");
    Start("CHINESE");
    window.Select(1009, 1);
    OnSaveBackground(window, state, path);
    EXPECT_EQ(ReadColourIndex(path), 1);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0], "请重启应用软件使修改生效！");
}

TEST_F(ThemeTest, SaveWithoutSelectionStoresMinusOne) {
    WriteFile("[Colour]\nBackColour=9\n");
    Start("ENGLISH");
    OnSaveBackground(window, state, path);
    EXPECT_EQ(state.colourIndex.load(), -1);
    EXPECT_EQ(ReadColourIndex(path), -1);
    EXPECT_EQ(window.messages.size(), 1u);
}

TEST(ThemeTable, ListTextsAndLogosBelongToTheirThemes) {
    EXPECT_EQ(ThemeFor(-1), nullptr);
    EXPECT_EQ(ThemeFor(5), nullptr);
    ASSERT_NE(ThemeFor(3), nullptr);
    EXPECT_STREQ(ThemeFor(3)->englishName, "Orange");
    EXPECT_EQ(ThemeFor(3)->background, (Rgb{250, 180, 50}));
    EXPECT_EQ(ThemeFor(3)->messageLine, (Rgb{0, 255, 255}));
    EXPECT_STREQ(ThemeFor(4)->chineseName, "浅绿色");
    EXPECT_EQ(ThemeFor(4)->logoBitmap, 145);
}

}  // namespace
}  // namespace kestrane::testing
