// A profile's values through the window's own SAVE handlers: their checks,
// and the write images they fill.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "profile/ProfileFields.h"
#include "protocol/SharedState.h"
#include "settings/logic/FieldProblem.h"

namespace kestrane::profile {

// A failed check of the window, named by the profile field it is about.
struct FieldCheck {
    size_t field;  // index in kProfileFields
    std::string message;
};

// Every check the battery and load SAVEs make of these values, in the
// language of `state`. `state.data` supplies the values a profile leaves out.
std::vector<FieldCheck> WindowChecks(const FieldValues& values, SharedState& state);

// Fills the battery, lead-acid, lithium and load write images of state.data
// as the full battery SAVE and the load SAVE do from these values. The slot
// the load SAVE leaves alone outside Light&Time Mode (the hours before dawn)
// holds the profile's hours when it gives them, else the controller's own
// code, so applying never changes a register the profile does not set.
// False, with the images as they were, when a check fails.
bool FillWriteImages(const FieldValues& values, SharedState& state);

// The write codes of the blocks whose images differ from what the controller
// holds, in the order the window's full battery SAVE sends them (11, 12, 10),
// then the load block (13).
std::vector<int> DifferingBlocks(const ControllerData& data);

// The profile fields whose registers do not hold what the images say; the
// charge voltages only when the images are for a User-Diy battery.
std::vector<size_t> DifferingFields(const ControllerData& data);

// The low 16 bits of a write image slot, and the register word the
// controller reported for it.
uint16_t ImageWord(const ControllerData& data, const ProfileField& field);
uint16_t RecordWord(const ControllerData& data, const ProfileField& field);

}  // namespace kestrane::profile
