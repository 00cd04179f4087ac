#include "support/FakeControls.h"

namespace kestrane::testing {

namespace {
const FakeControls::Control kMissing{};
}

const FakeControls::Control& FakeControls::Find(int id) const {
    const auto it = controls_.find(id);
    return it == controls_.end() ? kMissing : it->second;
}

std::string FakeControls::Text(int id) const {
    const Control& c = Find(id);
    // A list without its own field text shows the selected item, as a
    // drop-down list does.
    if (!c.items.empty() && c.text.empty()) {
        return c.selection >= 0 && c.selection < static_cast<int>(c.items.size())
                   ? c.items[static_cast<size_t>(c.selection)]
                   : std::string();
    }
    return c.text;
}

void FakeControls::SetText(int id, const std::string& text) {
    controls_[id].text = text;
}

void FakeControls::Select(int id, int index) {
    Control& c = controls_[id];
    c.selection = (index >= 0 && index < static_cast<int>(c.items.size())) ? index : -1;
}

std::string FakeControls::ItemText(int id, int index) const {
    const Control& c = Find(id);
    return index >= 0 && index < static_cast<int>(c.items.size())
               ? c.items[static_cast<size_t>(index)]
               : std::string();
}

}  // namespace kestrane::testing
