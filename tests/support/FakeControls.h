// Controls held in maps: text, enabled, visible, list items and selection, and
// every message box shown, so window logic can be tested without widgets.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "ui/ControlAccess.h"

namespace kestrane::testing {

class FakeControls : public IControlAccess {
public:
    struct Control {
        std::string text;
        bool enabled = true;
        bool visible = true;
        std::vector<std::string> items;
        int selection = -1;
    };

    std::string Text(int id) const override;
    void SetText(int id, const std::string& text) override;
    bool IsEnabled(int id) const override { return Find(id).enabled; }
    void Enable(int id, bool enabled) override { controls_[id].enabled = enabled; }
    bool IsVisible(int id) const override { return Find(id).visible; }
    void Show(int id, bool visible) override { controls_[id].visible = visible; }
    int Selection(int id) const override { return Find(id).selection; }
    void Select(int id, int index) override;
    int ItemCount(int id) const override { return static_cast<int>(Find(id).items.size()); }
    std::string ItemText(int id, int index) const override;
    void ShowMessage(const std::string& text, const std::string& detail) override {
        messages.push_back(text);
        details.push_back(detail);
    }

    // Test set-up helpers.
    void SetItems(int id, std::vector<std::string> items) {
        controls_[id].items = std::move(items);
    }
    Control& At(int id) { return controls_[id]; }

    std::vector<std::string> messages;
    std::vector<std::string> details;

private:
    const Control& Find(int id) const;
    std::map<int, Control> controls_;
};

}  // namespace kestrane::testing
