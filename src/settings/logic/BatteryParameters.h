// The battery half of the parameter area: its two SAVE handlers and the state
// the settings pass gives its controls, editing or not.
#pragma once

#include <cstdint>

#include "protocol/SharedState.h"
#include "settings/logic/FieldProblem.h"
#include "ui/ControlAccess.h"

namespace kestrane {

class BatteryParameters {
public:
    // Entries of the battery type list.
    static constexpr int32_t kUserDiy = 0;
    static constexpr int32_t kLithium = 4;
    // Charge voltages a user-defined lead-acid battery accepts, in tenths.
    static constexpr uint32_t kMinLeadAcidVoltage = 90;
    static constexpr uint32_t kMaxLeadAcidVoltage = 150;

    BatteryParameters(IControlAccess& controls, SharedState& state)
        : controls_(controls), state_(state) {}

    // SAVE of the basics (type, system voltage, currents, charge voltages,
    // equalizing time), or with `full` also the lead-acid protection and the
    // lithium voltages. Queues nothing when a check fails; the message box
    // shows the first failing check.
    void Save(bool full);

    // Every check a SAVE makes of the controls, in the order it makes them:
    // a list without an entry, then each user-defined charge voltage outside
    // 9-15 V. Empty when a SAVE would go ahead. Both SAVEs make the same checks.
    FieldProblems Check() const;

    // Not editing: every battery control greyed and showing the controller's values.
    void DisableControls();
    void ShowControllerValues();

    // Editing: the controls the selected battery type uses accept input.
    void FollowEditMode();

private:
    IControlAccess& controls_;
    SharedState& state_;
};

}  // namespace kestrane
