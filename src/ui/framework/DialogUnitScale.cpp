#include "ui/framework/DialogUnitScale.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <cmath>

namespace kestrane {

namespace {

// How far a font's average width and height may lie from the designed
// proportions before they are replaced by its em size.
constexpr double kTolerance = 0.2;

bool Near(double value, double target) {
    return target > 0 && std::abs(value / target - 1.0) <= kTolerance;
}

}  // namespace

DialogUnitScale::DialogUnitScale(double pixelsPerUnitX, double pixelsPerUnitY)
    : perUnitX_(pixelsPerUnitX), perUnitY_(pixelsPerUnitY) {}

DialogUnitScale DialogUnitScale::FromFont(const QFont& font) {
    const QFontMetricsF metrics(font);
    const double em = QFontInfo(font).pixelSize();
    // Average width as the original platform measures it: the 52 Latin letters,
    // rounded to whole pixels.
    const double letters =
        metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const double averageWidth = std::floor((std::round(letters) / 26.0 + 1.0) / 2.0);
    const double height = std::round(metrics.height());
    if (Near(averageWidth, em / 2.0) && Near(height, em)) {
        return DialogUnitScale(averageWidth / 4.0, height / 8.0);
    }
    DialogUnitScale scale(em / 8.0, em / 8.0);
    scale.fromMetrics_ = false;
    return scale;
}

int DialogUnitScale::X(int units) const {
    return static_cast<int>(std::lround(units * perUnitX_));
}

int DialogUnitScale::Y(int units) const {
    return static_cast<int>(std::lround(units * perUnitY_));
}

QRect DialogUnitScale::Rect(int x, int y, int width, int height) const {
    const int left = X(x);
    const int top = Y(y);
    return QRect(left, top, X(x + width) - left, Y(y + height) - top);
}

}  // namespace kestrane
