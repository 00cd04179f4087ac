#include "ui/ThemePalette.h"

#include <QFont>
#include <QPalette>
#include <QStringList>

#include "monitor/ControlIds.h"
#include "ui/tables/ColourThemes.h"

namespace kestrane {

namespace {

QColor ToQColor(Rgb c) {
    return QColor(c.red, c.green, c.blue);
}

QString CssColour(Rgb c) {
    return QStringLiteral("rgb(%1, %2, %3)").arg(c.red).arg(c.green).arg(c.blue);
}

QString SelectorFor(int controlId) {
    return QStringLiteral("*[objectName=\"%1\"]").arg(controlId);
}

QString RuleFor(int controlId, Rgb colour) {
    return SelectorFor(controlId) + QStringLiteral(" { color: %1; }").arg(CssColour(colour));
}

}  // namespace

void ApplyThemeColours(QApplication& app, int colourIndex) {
    const ColourTheme* theme = ThemeFor(colourIndex);
    if (theme == nullptr) return;
    const QColor background = ToQColor(theme->background);
    const QColor text = ToQColor(theme->text);

    QPalette palette = app.palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, background);
        palette.setColor(group, QPalette::WindowText, text);
    }
    // Disabled labels stay readable on every background: halfway to it.
    const QColor dimmed((text.red() + background.red()) / 2,
                        (text.green() + background.green()) / 2,
                        (text.blue() + background.blue()) / 2);
    palette.setColor(QPalette::Disabled, QPalette::Window, background);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, dimmed);
    app.setPalette(palette);
}

QString ThemeStyleSheetFor(int colourIndex) {
    const ColourTheme* theme = ThemeFor(colourIndex);
    if (theme == nullptr) return {};
    QStringList rules{RuleFor(id::kMessageLine, theme->messageLine)};
    for (int title : kGroupTitleControls)
        rules << RuleFor(title, theme->groupTitle);
    return rules.join(QLatin1Char('\n'));
}

void ApplyMainWindowTextColours(QWidget& mainWindow, int colourIndex) {
    const ColourTheme* theme = ThemeFor(colourIndex);
    const auto colour = [&](int controlId, Rgb themed) {
        QWidget* widget = mainWindow.findChild<QWidget*>(QString::number(controlId));
        if (widget == nullptr) return;
        // The rule names the widget itself, so its children keep their colours.
        widget->setStyleSheet(theme != nullptr ? RuleFor(controlId, themed) : QString());
    };
    colour(id::kMessageLine, theme != nullptr ? theme->messageLine : Rgb{});
    for (int title : kGroupTitleControls)
        colour(title, theme != nullptr ? theme->groupTitle : Rgb{});
}

void UseChineseFontFallback(QApplication& app) {
    QFont font = app.font();
    QStringList families = font.families();
    if (families.isEmpty()) families << font.family();
    for (const char* cjk :
         {"Noto Sans CJK SC", "Source Han Sans SC", "WenQuanYi Micro Hei", "Droid Sans Fallback"}) {
        if (!families.contains(QLatin1String(cjk))) families << QLatin1String(cjk);
    }
    font.setFamilies(families);
    app.setFont(font);
}

}  // namespace kestrane
