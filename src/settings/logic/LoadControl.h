// The load half of the parameter area: the two stacked mode lists (Chinese
// 1006, English 1008) that always carry the same selection, the load SAVE
// handler, and the state the settings pass gives the load controls.
#pragma once

#include <cstdint>

#include "protocol/LoadModeCodes.h"
#include "protocol/SharedState.h"
#include "settings/logic/FieldProblem.h"
#include "ui/ControlAccess.h"

namespace kestrane {

class LoadControl {
public:
    // Entries of the mode lists.
    static constexpr int kLightMode = kLightModeEntry;
    static constexpr int kLightTimeMode = kLightTimeModeEntry;
    static constexpr int kDualTimerMode = kDualTimerModeEntry;
    static constexpr int kOnMode = kOnModeEntry;
    static constexpr int kOffMode = kOffModeEntry;

    LoadControl(IControlAccess& controls, SharedState& state)
        : controls_(controls), state_(state) {}

    // The list entry for a mode code read from the controller, or -1.
    static int ModeIndex(int32_t loadMode) { return LoadModeEntry(loadMode); }

    // Fills every register of the load write image from the fields and queues
    // it. Queues nothing when a check fails; the message box says why.
    void Save();

    // Every check the SAVE makes: only that a mode is selected in the list of
    // the current language. Empty when a SAVE would go ahead.
    FieldProblems Check() const;

    // The operator chose a mode in one list; the other follows.
    void MatchModeLists(int changedListId);

    // Not editing: the sixteen fields and both lists greyed, showing the
    // controller's values, only the list of the current language visible.
    void DisableControls();
    void ShowControllerValues();

    // Editing: only the fields of the selected mode accept input.
    void FollowEditMode();

private:
    int CurrentList() const;

    IControlAccess& controls_;
    SharedState& state_;
};

}  // namespace kestrane
