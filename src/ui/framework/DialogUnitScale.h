// Conversion of dialog units into pixels. A horizontal unit is a quarter of the
// dialog font's average character width, a vertical unit an eighth of its
// character height, so a dialog keeps its proportions at any screen scale.
#pragma once

#include <QFont>
#include <QRect>

namespace kestrane {

class DialogUnitScale {
public:
    DialogUnitScale(double pixelsPerUnitX, double pixelsPerUnitY);

    // Measures the font as it will be drawn. The layouts were designed for a
    // font whose average character is half an em wide and one em high (SimSun);
    // a font whose metrics lie far from that (the tall line spacing of most CJK
    // fallback fonts) is scaled from its em size in those same proportions, so
    // that the layout keeps its designed size and spacing.
    static DialogUnitScale FromFont(const QFont& font);

    int X(int units) const;
    int Y(int units) const;
    // Each edge converted on its own, so neighbouring controls meet exactly.
    QRect Rect(int x, int y, int width, int height) const;

    double PixelsPerUnitX() const { return perUnitX_; }
    double PixelsPerUnitY() const { return perUnitY_; }
    // True when the font's own metrics were used, false when they were scaled
    // from its em size.
    bool FromMetrics() const { return fromMetrics_; }

private:
    double perUnitX_;
    double perUnitY_;
    bool fromMetrics_ = true;
};

}  // namespace kestrane
