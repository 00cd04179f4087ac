// Comparing colours in a grabbed image of a window with the theme table.
#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <cstdlib>

#include "ui/tables/ColourThemes.h"

namespace kestrane::testing {

inline QColor ToQColor(Rgb c) {
    return QColor(c.red, c.green, c.blue);
}

// Within what anti-aliasing and the style's shading change of a colour.
inline bool Near(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) <= 24 && std::abs(a.green() - b.green()) <= 24 &&
           std::abs(a.blue() - b.blue()) <= 24;
}

// How many pixels of `area` are near `colour`.
inline int CountNear(const QImage& image, QRect area, QColor colour) {
    int count = 0;
    area = area.intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (Near(image.pixelColor(x, y), colour)) ++count;
    return count;
}

}  // namespace kestrane::testing
