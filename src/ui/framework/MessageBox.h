// Message boxes of the application: an OK button, the exclamation icon, the
// executable's file name (without its extension) as the title. A fixed text
// stays the main text; a reason, when there is one, is added as detail.
#pragma once

#include <functional>
#include <string>
#include <string_view>

class QWidget;

namespace kestrane {

struct MessageBoxRecord {
    std::string title;
    std::string text;
    std::string detail;
};

using MessageBoxHook = std::function<void(const MessageBoxRecord&)>;

// While a hook is set, message boxes are handed to it instead of being shown
// (tests record them this way). An empty hook restores showing them.
void SetMessageBoxHook(MessageBoxHook hook);

// Shows a modal message box over parent; returns when the operator has pressed
// OK. Window thread only.
void ShowMessageBox(QWidget* parent, std::string_view text, std::string_view detail = {});

// The executable's file name without its extension.
std::string MessageBoxTitle();

}  // namespace kestrane
