// The handful of operations that window logic performs on a dialog's controls,
// addressed by control identifier. The dialog layer implements it over Qt
// widgets; tests implement it with a plain map, so language switching, the
// parameter SAVE handlers and the settings pass can be tested without widgets.
#pragma once

#include <string>

namespace kestrane {

class IControlAccess {
public:
    virtual ~IControlAccess() = default;

    // A control's text; for a drop-down list the text of its field (for a
    // plain list the selected item's text, empty with no selection).
    virtual std::string Text(int id) const = 0;
    virtual void SetText(int id, const std::string& text) = 0;

    virtual bool IsEnabled(int id) const = 0;
    virtual void Enable(int id, bool enabled) = 0;
    virtual bool IsVisible(int id) const = 0;
    virtual void Show(int id, bool visible) = 0;

    // Drop-down lists. Index -1 means no selection.
    virtual int Selection(int id) const = 0;
    virtual void Select(int id, int index) = 0;
    virtual int ItemCount(int id) const = 0;
    virtual std::string ItemText(int id, int index) const = 0;

    // A message box with an OK button and the exclamation icon. The fixed text
    // stays the main text; a reason may be added as detail.
    virtual void ShowMessage(const std::string& text, const std::string& detail = {}) = 0;
};

}  // namespace kestrane
