// The five colour themes: list texts, dialog colours, the logo each one shows
// and the text colours of the main window's message line and group titles.
// Any index outside the table means the system's colours, no logo and no
// special text colours.
#pragma once

#include <array>
#include <cstdint>

#include "monitor/ControlIds.h"

namespace kestrane {

struct Rgb {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
    constexpr bool operator==(const Rgb&) const = default;
};

struct ColourTheme {
    const char* englishName;
    const char* chineseName;
    Rgb background;   // every dialog's background
    Rgb text;         // every dialog's static texts, group boxes and check boxes
    int logoControl;  // the main window's picture static that shows this theme's logo
    int logoBitmap;   // number of the logo image
    Rgb messageLine;  // text of the main window's message line
    Rgb groupTitle;   // text of the main window's thirteen group titles
    Rgb logoDrawing;  // the logo's artwork, on the theme background
};

inline constexpr int kThemeCount = 5;

// clang-format off
inline constexpr std::array<ColourTheme, kThemeCount> kColourThemes{{
    // list texts, background, text, logo control and bitmap, message line, group title, logo drawing
    {"Cool black",   "酷黑色", {10, 10, 10},    {0, 255, 255}, id::kLogoTheme0, 143, {255, 255, 0}, {250, 180, 50},  {0, 255, 255}},
    {"Aqua Blue",    "水蓝色", {0, 220, 220},   {0, 0, 0},     id::kLogoTheme1, 144, {255, 255, 0}, {255, 255, 255}, {16, 16, 16}},
    {"Classic grey", "经典灰", {245, 245, 245}, {0, 0, 0},     id::kLogoTheme2, 147, {0, 0, 0},     {0, 0, 0},       {16, 16, 16}},
    {"Orange",       "橙黄色", {250, 180, 50},  {0, 0, 0},     id::kLogoTheme3, 146, {0, 255, 255}, {0, 0, 0},       {16, 16, 16}},
    {"Light green",  "浅绿色", {140, 200, 120}, {0, 0, 0},     id::kLogoTheme4, 145, {255, 255, 0}, {255, 255, 0},   {16, 16, 16}},
}};
// clang-format on

// The logo statics, stacked at the same place; at most one is visible.
inline constexpr std::array<int, kThemeCount> kLogoControls{
    id::kLogoTheme0, id::kLogoTheme1, id::kLogoTheme2, id::kLogoTheme3, id::kLogoTheme4};

// Group titles of the main window: the seven group headings, the two battery
// settings columns, the three load-mode groups and the battery selection.
inline constexpr std::array<int, 13> kGroupTitleControls{1129, 1130, 1131, 1132, 1133, 1134, 1135,
                                                         1210, 1211, 1226, 1227, 1228, 1246};

// The theme of a stored index, or nullptr for the system colours.
constexpr const ColourTheme* ThemeFor(int colourIndex) {
    return colourIndex >= 0 && colourIndex < kThemeCount
               ? &kColourThemes[static_cast<std::size_t>(colourIndex)]
               : nullptr;
}

}  // namespace kestrane
