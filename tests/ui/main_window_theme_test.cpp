// The colour themes on the real main window, started as the application starts
// it: the stored index read, the application colours set, the window built.
// Colours are checked in a grabbed image of the window against the theme table.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <filesystem>

#include "app/CMainDlg.h"
#include "app/CMonitorApp.h"
#include "monitor/ControlIds.h"
#include "platform/ProfileFile.h"
#include "support/ScratchDir.h"
#include "ui/PixelColours.h"
#include "ui/framework/MessageBox.h"
#include "ui/tables/ColourThemes.h"

namespace kestrane {
namespace {

namespace fs = std::filesystem;

using testing::CountNear;
using testing::Near;
using testing::ToQColor;

class WindowThemeTest : public ::testing::Test {
protected:
    void SetUp() override {
        palette_ = QApplication::palette();
        font_ = QApplication::font();
        SetMessageBoxHook([this](const MessageBoxRecord& record) { messages_.push_back(record); });
    }
    void TearDown() override {
        SetMessageBoxHook({});
        QApplication::setPalette(palette_);
        QApplication::setFont(font_);
    }

    std::string Ini() const { return dir_ + "Configfiles.ini"; }
    void StoreSettings(const char* language, const char* colour) {
        WriteProfileString("SysLanguage", "Language", language, Ini());
        WriteProfileString("COMSET", "ADDR", "1", Ini());
        WriteProfileString("Colour", "BackColour", colour, Ini());
    }
    // Process start up to the window's initialisation.
    void Start(SharedState& shared) {
        CMonitorApp app(shared, dir_);
        app.LoadStartSettings();
        app.ApplyStartAppearance();
    }
    static QImage Grab(CMainDlg& window) {
        window.show();
        QApplication::processEvents();
        return window.grab().toImage();
    }
    static QRect TitleArea(CMainDlg& window, int group) {
        const QWidget* box = window.Control(group);
        return {box->x(), box->y(), box->width(), box->fontMetrics().height() + 4};
    }
    static int VisibleLogos(const CMainDlg& window) {
        int visible = 0;
        for (int logo : kLogoControls)
            visible += window.IsVisible(logo) ? 1 : 0;
        return visible;
    }

    testing::ScratchDir scratch_{"kestrane-theme"};
    const std::string dir_ = scratch_.Slashed();
    QPalette palette_;
    QFont font_;
    std::vector<MessageBoxRecord> messages_;
};

TEST_F(WindowThemeTest, StoredThemeColoursTheWindowItsTitlesAndMessageLine) {
    for (int index : {0, 3}) {
        SCOPED_TRACE(index);
        const ColourTheme& theme = *ThemeFor(index);
        SharedState shared;
        StoreSettings("ENGLISH", std::to_string(index).c_str());
        Start(shared);
        CMainDlg window(shared, dir_);
        window.Create();
        window.SetText(id::kMessageLine, "Settings OK!");
        const QImage shot = Grab(window);

        // The dialog background, in two corners and between the groups.
        EXPECT_EQ(shot.pixelColor(1, shot.height() - 2), ToQColor(theme.background));
        EXPECT_EQ(shot.pixelColor(shot.width() - 2, 1), ToQColor(theme.background));
        for (int group : kGroupTitleControls) {
            EXPECT_GT(CountNear(shot, TitleArea(window, group), ToQColor(theme.groupTitle)), 5)
                << group;
        }
        const QRect message = window.Control(id::kMessageLine)->geometry();
        EXPECT_GT(CountNear(shot, message, ToQColor(theme.messageLine)), 5);
        // Captions keep the dialog text colour, not the title colour.
        const QRect caption = window.Control(id::kPvVoltageCaption)->geometry();
        EXPECT_GT(CountNear(shot, caption, ToQColor(theme.text)), 5);
        if (!Near(ToQColor(theme.text), ToQColor(theme.groupTitle))) {
            EXPECT_EQ(CountNear(shot, caption, ToQColor(theme.groupTitle)), 0);
        }

        // Its own logo, whole, on the theme's background.
        EXPECT_EQ(VisibleLogos(window), 1);
        ASSERT_TRUE(window.IsVisible(theme.logoControl));
        const auto* logo = qobject_cast<QLabel*>(window.Control(theme.logoControl));
        const QSize picture = logo->pixmap().size();
        EXPECT_LE(picture.width(), logo->width());
        EXPECT_LE(picture.height(), logo->height());
        EXPECT_GT(CountNear(shot, logo->geometry(), ToQColor(theme.logoDrawing)), 100);
        EXPECT_TRUE(window.IsVisible(id::kFixedCaption));
        EXPECT_EQ(window.Selection(id::kBackgroundListEnglish), index);
        EXPECT_FALSE(window.windowIcon().isNull());
        QApplication::setPalette(palette_);
    }
}

TEST_F(WindowThemeTest, AnIndexOutsideTheTableLeavesTheSystemColours) {
    for (const char* stored : {"9", "-1"}) {
        SCOPED_TRACE(stored);
        SharedState shared;
        StoreSettings("CHINESE", stored);
        Start(shared);
        CMainDlg window(shared, dir_);
        window.Create();
        window.SetText(id::kMessageLine, "设置成功");
        const QImage shot = Grab(window);
        EXPECT_EQ(QApplication::palette(), palette_);
        EXPECT_EQ(shot.pixelColor(1, shot.height() - 2), palette_.color(QPalette::Window));
        // Titles and the message line in the ordinary text colour.
        EXPECT_GT(CountNear(shot, TitleArea(window, id::kRealTimeGroup),
                            palette_.color(QPalette::WindowText)),
                  5);
        EXPECT_TRUE(window.Control(id::kMessageLine)->styleSheet().isEmpty());
        EXPECT_EQ(VisibleLogos(window), 0);
        EXPECT_TRUE(window.IsVisible(id::kFixedCaption));
        EXPECT_EQ(window.Selection(id::kBackgroundListChinese), -1);
        EXPECT_EQ(window.Selection(id::kBackgroundListEnglish), -1);
    }
}

TEST_F(WindowThemeTest, TheFirstStartRunsWithThemeZero) {
    SharedState shared;
    Start(shared);
    EXPECT_EQ(GetProfileString("Colour", "BackColour", "", Ini()), "1");
    CMainDlg window(shared, dir_);
    window.Create();
    const QImage shot = Grab(window);
    EXPECT_EQ(shot.pixelColor(1, shot.height() - 2), QColor(10, 10, 10));
    EXPECT_TRUE(window.IsVisible(id::kLogoTheme0));
}

TEST_F(WindowThemeTest, SaveStoresTheChoiceAndOnlyTheTitlesFollowAtOnce) {
    SharedState shared;
    StoreSettings("ENGLISH", "3");
    Start(shared);
    CMainDlg window(shared, dir_);
    window.Create();
    window.Select(id::kBackgroundListEnglish, 4);  // "Light green"
    window.Click(id::kBackgroundSaveButton);
    EXPECT_EQ(GetProfileString("Colour", "BackColour", "", Ini()), "4");
    EXPECT_EQ(shared.colourIndex, 4);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].text,
              "Please restart the application software to make the modification take effect!");

    const QImage shot = Grab(window);
    EXPECT_EQ(shot.pixelColor(1, shot.height() - 2), QColor(250, 180, 50));
    EXPECT_TRUE(window.IsVisible(id::kLogoTheme3));
    EXPECT_GT(CountNear(shot, TitleArea(window, id::kEnergyGroup), QColor(255, 255, 0)), 5);

    // In Chinese the Chinese list is the one shown and read; no selection stores -1.
    window.Click(id::kLanguageButton);
    window.Select(id::kBackgroundListChinese, -1);
    window.Click(id::kBackgroundSaveButton);
    EXPECT_EQ(GetProfileString("Colour", "BackColour", "", Ini()), "-1");
    ASSERT_EQ(messages_.size(), 2u);
    EXPECT_EQ(messages_[1].text, "请重启应用软件使修改生效！");
    EXPECT_TRUE(window.Control(id::kEnergyGroup)->styleSheet().isEmpty());
}

}  // namespace
}  // namespace kestrane
