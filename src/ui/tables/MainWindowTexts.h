// The main window's texts in both languages, one row per control in the order
// they are applied. The dialog template holds the Chinese texts; these rows
// relabel the window at start and at every language switch.
#pragma once

#include <span>

namespace kestrane {

enum class TextRowKind {
    kSet,   // the control takes the row's text
    kSwap,  // only a caption that is one of the row's two texts in the other language is replaced
};

// Rows that depend on the battery: the type read from the controller labels
// the parameter display, the type in the battery write image labels the
// system-voltage list.
enum class TextCondition {
    kAlways,
    kReadNotLithium,
    kReadLithium,
    kWrittenNotLithium,
};

struct MainWindowTextRow {
    int id;
    TextRowKind kind;
    TextCondition when;
    // nullptr: the control keeps its current text in that language.
    const char* english;
    const char* chinese;
    // Swap rows only: the second caption, in both languages.
    const char* englishAlt = nullptr;
    const char* chineseAlt = nullptr;
};

std::span<const MainWindowTextRow> MainWindowTexts();

// The row that labels control id whatever the battery, or nullptr when the
// control has none (the battery-dependent captions and swap rows among them).
// For tools that show the window's captions beside their own values.
const MainWindowTextRow* FixedCaptionOf(int id);

}  // namespace kestrane
