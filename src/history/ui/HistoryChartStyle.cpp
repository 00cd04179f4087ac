#include "history/ui/HistoryChartStyle.h"

#include <QAbstractAxis>
#include <QApplication>
#include <QChart>
#include <QLegend>
#include <QPalette>

#include "ui/tables/ColourThemes.h"

namespace kestrane {

namespace {

QColor ToColor(Rgb rgb) {
    return QColor(rgb.red, rgb.green, rgb.blue);
}

}  // namespace

HistoryChartStyle HistoryChartStyleFor(int colourIndex) {
    HistoryChartStyle style;
    const ColourTheme* theme = ThemeFor(colourIndex);
    const QPalette palette = QApplication::palette();
    style.background = theme ? ToColor(theme->background) : palette.color(QPalette::Window);
    style.text = theme ? ToColor(theme->text) : palette.color(QPalette::WindowText);
    style.grid = style.text;
    style.grid.setAlpha(50);
    // Light lines on dark backgrounds, dark ones on light backgrounds; the
    // pale aqua and orange themes need deeper tones than the grey one.
    if (style.background.lightness() < 100) {
        style.lines = {QColor(255, 210, 60), QColor(90, 200, 255), QColor(140, 255, 140)};
        style.alarm = QColor(255, 90, 90);
    } else {
        style.lines = {QColor(180, 40, 0), QColor(0, 60, 170), QColor(0, 110, 30)};
        style.alarm = QColor(200, 0, 0);
    }
    return style;
}

void ApplyChartStyle(QChart& chart, const HistoryChartStyle& style) {
    chart.setBackgroundBrush(style.background);
    chart.setBackgroundRoundness(0);
    chart.setTitleBrush(style.text);
    chart.legend()->setLabelColor(style.text);
    for (QAbstractAxis* axis : chart.axes()) {
        axis->setLabelsColor(style.text);
        axis->setTitleBrush(style.text);
        axis->setLinePenColor(style.text);
        axis->setGridLineColor(style.grid);
    }
}

}  // namespace kestrane
