// The window's parameter controls holding a profile instead of what an
// operator typed: the window's SAVE handlers run on it unchanged, so a
// profile gets the same checks, the same messages and the same write images.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "profile/ProfileFields.h"
#include "protocol/ControllerData.h"
#include "ui/ControlAccess.h"

namespace kestrane::profile {

class ProfileControls : public IControlAccess {
public:
    // Types every field into its control: the profile's value, or for a field
    // the profile leaves out the controller's own value from `record`, in
    // full (the window shows some of them only in their low 8 bits, which a
    // SAVE would then write back). Lists get the profile's entry; a left-out
    // system voltage leaves its list without one, so the controller keeps its own.
    ProfileControls(const FieldValues& values, const ControllerData& record);

    std::string Text(int id) const override;
    void SetText(int id, const std::string& text) override { texts_[id] = text; }
    bool IsEnabled(int) const override { return true; }
    void Enable(int, bool) override {}
    bool IsVisible(int) const override { return true; }
    void Show(int, bool) override {}
    int Selection(int id) const override;
    void Select(int id, int index) override { selections_[id] = index; }
    int ItemCount(int id) const override;
    std::string ItemText(int id, int index) const override;
    void ShowMessage(const std::string& text, const std::string& detail) override;

    // Message boxes the handlers raised.
    const std::vector<std::string>& Messages() const { return messages_; }

private:
    std::map<int, std::string> texts_;
    std::map<int, int> selections_;
    std::vector<std::string> messages_;
};

}  // namespace kestrane::profile
