// The colours of the history charts for a colour theme: the theme's own
// background and text, and line colours that stay readable on it.
#pragma once

#include <QColor>
#include <array>

class QChart;

namespace kestrane {

struct HistoryChartStyle {
    QColor background;
    QColor text;
    QColor grid;
    QColor alarm;
    std::array<QColor, 3> lines;  // first, second and third series of a chart
};

// Outside 0 to 4: the system palette's window colours.
HistoryChartStyle HistoryChartStyleFor(int colourIndex);

// Background, title, legend and axis colours of one chart.
void ApplyChartStyle(QChart& chart, const HistoryChartStyle& style);

}  // namespace kestrane
