// The colour themes applied to widgets: the application-wide dialog colours,
// set once at start, and the main window's message line and group titles.
#pragma once

#include <QApplication>
#include <QString>
#include <QWidget>

namespace kestrane {

// Background and text colours of every dialog and message box for the theme:
// dialog backgrounds, static texts, group boxes, check boxes and the area
// around controls. Edit boxes, list boxes, scroll bars and push-button faces
// keep the system's colours. Outside 0 to 4 nothing changes.
void ApplyThemeColours(QApplication& app, int colourIndex);

// A style sheet for the main window that colours the message line (1117) and
// the thirteen group titles by objectName; empty outside 0 to 4.
QString ThemeStyleSheetFor(int colourIndex);

// The same colours set on those fourteen widgets of mainWindow themselves, so
// the window's own style sheet stays untouched. Outside 0 to 4 they return to
// the dialog text colour. Call again after the background SAVE.
void ApplyMainWindowTextColours(QWidget& mainWindow, int colourIndex);

// Chinese texts fall back to a Simplified Chinese font (Noto Sans CJK SC and
// its kin) rather than to whichever CJK font fontconfig finds first.
void UseChineseFontFallback(QApplication& app);

}  // namespace kestrane
