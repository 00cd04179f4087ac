// Theme colours as they reach the screen: a dialog like the main window is
// grabbed after the theme is applied and its pixels are compared with the
// theme table. Set KESTRANE_LOGO_DIR to also save the five logos as PNG.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFontDatabase>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTextLayout>

#include "ui/PixelColours.h"
#include "ui/ThemeArtwork.h"
#include "ui/ThemePalette.h"
#include "ui/tables/ColourThemes.h"

namespace kestrane {
namespace {

using testing::CountNear;
using testing::Near;
using testing::ToQColor;

// A small stand-in for the main window: a group with its title, a label in
// the group, the message line and an edit box.
struct ThemedDialog {
    QDialog dialog;
    QGroupBox* group = new QGroupBox(QStringLiteral("Running State"), &dialog);
    QLabel* inner = new QLabel(QStringLiteral("PV  Volt.: 18.2V"), group);
    QLabel* message = new QLabel(QStringLiteral("Settings OK!"), &dialog);
    QLineEdit* edit = new QLineEdit(&dialog);

    ThemedDialog() {
        dialog.resize(320, 200);
        group->setObjectName(QStringLiteral("1129"));
        group->setGeometry(10, 10, 220, 90);
        inner->setGeometry(10, 40, 200, 30);
        message->setObjectName(QStringLiteral("1117"));
        message->setGeometry(10, 110, 200, 30);
        edit->setGeometry(10, 150, 120, 28);
        QFont big = dialog.font();
        big.setPixelSize(18);
        big.setBold(true);
        dialog.setFont(big);
    }
    QImage Grab() {
        dialog.show();
        return dialog.grab().toImage();
    }
};

class ThemeColoursTest : public ::testing::Test {
protected:
    void SetUp() override { original_ = QApplication::palette(); }
    void TearDown() override { QApplication::setPalette(original_); }
    QPalette original_;
};

TEST_F(ThemeColoursTest, DialogGroupTitleAndMessageLineTakeTheThemeColours) {
    auto& app = *qApp;
    for (int index = 0; index < kThemeCount; ++index) {
        SCOPED_TRACE(index);
        const ColourTheme& theme = *ThemeFor(index);
        QApplication::setPalette(original_);
        ApplyThemeColours(static_cast<QApplication&>(app), index);
        ThemedDialog w;
        ApplyMainWindowTextColours(w.dialog, index);
        const QImage shot = w.Grab();

        EXPECT_EQ(shot.pixelColor(2, 2), ToQColor(theme.background));
        EXPECT_EQ(shot.pixelColor(300, 190), ToQColor(theme.background));
        const QRect title(w.group->x(), w.group->y(), w.group->width(), 24);
        EXPECT_GT(CountNear(shot, title, ToQColor(theme.groupTitle)), 5);
        EXPECT_GT(CountNear(shot, w.message->geometry(), ToQColor(theme.messageLine)), 5);
        const QRect inner = w.inner->geometry().translated(w.group->pos());
        EXPECT_GT(CountNear(shot, inner, ToQColor(theme.text)), 5);
        if (!Near(ToQColor(theme.groupTitle), ToQColor(theme.text))) {
            EXPECT_EQ(CountNear(shot, inner, ToQColor(theme.groupTitle)), 0)
                << "the title colour leaked into the group's contents";
        }
        // Edit boxes keep the system's background.
        const QPoint inEdit = w.edit->geometry().center();
        EXPECT_EQ(shot.pixelColor(inEdit), original_.color(QPalette::Base));
    }
}

TEST_F(ThemeColoursTest, IndexOutsideTheTableLeavesTheSystemColours) {
    for (int index : {9, -1, 5}) {
        ApplyThemeColours(*qApp, index);
        EXPECT_EQ(QApplication::palette(), original_);
        EXPECT_TRUE(ThemeStyleSheetFor(index).isEmpty());
        ThemedDialog w;
        ApplyMainWindowTextColours(w.dialog, index);
        EXPECT_EQ(w.Grab().pixelColor(2, 2), original_.color(QPalette::Window));
        EXPECT_TRUE(w.message->styleSheet().isEmpty());
        EXPECT_TRUE(ThemeLogo(index).isNull());
    }
}

TEST_F(ThemeColoursTest, SavedThemeRecoloursTitlesButNotTheBackground) {
    ApplyThemeColours(*qApp, 3);
    ThemedDialog w;
    ApplyMainWindowTextColours(w.dialog, 3);
    ApplyMainWindowTextColours(w.dialog, 4);  // "Light green" saved: yellow titles
    const QImage shot = w.Grab();
    EXPECT_EQ(shot.pixelColor(2, 2), QColor(250, 180, 50));
    EXPECT_GT(CountNear(shot, QRect(w.group->x(), w.group->y(), w.group->width(), 24),
                        QColor(255, 255, 0)),
              5);
}

TEST_F(ThemeColoursTest, WholeWindowStyleSheetNamesEveryTitle) {
    const QString sheet = ThemeStyleSheetFor(0);
    for (int title : kGroupTitleControls)
        EXPECT_TRUE(sheet.contains(QStringLiteral("\"%1\"").arg(title))) << title;
    EXPECT_TRUE(sheet.contains(QStringLiteral("\"1117\"] { color: rgb(255, 255, 0)")));
}

TEST(ThemeArtworkTest, LogosAreDrawnOnTheirThemeBackground) {
    const QString saveDir = qEnvironmentVariable("KESTRANE_LOGO_DIR");
    for (int index = 0; index < kThemeCount; ++index) {
        SCOPED_TRACE(index);
        const ColourTheme& theme = *ThemeFor(index);
        const QImage logo = ThemeLogo(index).toImage();
        ASSERT_EQ(logo.size(), QSize(kLogoWidth, kLogoHeight));
        EXPECT_EQ(logo.pixelColor(0, 0), ToQColor(theme.background));
        EXPECT_EQ(logo.pixelColor(kLogoWidth - 1, kLogoHeight - 1), ToQColor(theme.background));
        // Both the mark (left) and the word (right) are drawn.
        EXPECT_GT(CountNear(logo, QRect(0, 0, 40, 38), ToQColor(theme.logoDrawing)), 60);
        EXPECT_GT(CountNear(logo, QRect(40, 0, 110, 38), ToQColor(theme.logoDrawing)), 150);
        if (!saveDir.isEmpty()) {
            QDir().mkpath(saveDir);
            logo.save(QDir(saveDir).filePath(QStringLiteral("logo-%1.png").arg(index)));
        }
    }
}

TEST(ThemeArtworkTest, ApplicationIconHasEverySize) {
    const QIcon icon = ApplicationIcon();
    ASSERT_FALSE(icon.isNull());
    const QImage small = icon.pixmap(16, 16).toImage();
    const QImage large = icon.pixmap(256, 256).toImage();
    EXPECT_EQ(small.size(), QSize(16, 16));
    EXPECT_GT(qAlpha(large.pixel(128, 128)), 200);
    const QString saveDir = qEnvironmentVariable("KESTRANE_LOGO_DIR");
    if (!saveDir.isEmpty()) large.save(QDir(saveDir).filePath(QStringLiteral("icon.png")));
}

TEST(ChineseFontTest, ChineseTextIsSetInASimplifiedChineseFont) {
    if (!QFontDatabase::families().contains(QStringLiteral("Noto Sans CJK SC")))
        GTEST_SKIP() << "fonts-noto-cjk is not installed";
    const QFont before = QApplication::font();
    UseChineseFontFallback(*qApp);
    QTextLayout layout(QStringLiteral("串口号:"), QApplication::font());
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    bool cjk = false;
    for (const QGlyphRun& run : layout.glyphRuns())
        cjk = cjk || run.rawFont().familyName().contains(QStringLiteral("CJK SC"));
    EXPECT_TRUE(cjk);
    QApplication::setFont(before);
}

}  // namespace
}  // namespace kestrane
