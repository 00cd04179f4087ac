// The theme logos (150 x 38 pixels, each on its theme's background) and the
// application icon, drawn from the Kestrane mark in the resources.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace kestrane {

inline constexpr int kLogoWidth = 150;
inline constexpr int kLogoHeight = 38;

// The logo of a colour theme; a null pixmap outside 0 to 4.
QPixmap ThemeLogo(int colourIndex);

// The icon of the main window, its minimised state and the task bar.
QIcon ApplicationIcon();

}  // namespace kestrane
