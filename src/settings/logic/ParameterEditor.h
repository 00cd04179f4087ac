// The parameter area of the main window: the edit-mode flag and its toggle,
// the battery and load SAVE handlers, and the settings pass that shows the
// progress of the last settings operation and brings the parameter controls
// into the state the edit mode asks for.
//
// The window owns one ParameterEditor for its whole life and calls it from
// its handlers. Every member runs on the window thread; the settings worker
// reaches SettingsPass through a synchronous call into that thread.
#pragma once

#include <cstdint>

#include "protocol/SharedState.h"
#include "settings/logic/BatteryParameters.h"
#include "settings/logic/LoadControl.h"
#include "ui/ControlAccess.h"

namespace kestrane {

class ParameterEditor {
public:
    ParameterEditor(IControlAccess& controls, SharedState& state)
        : controls_(controls), state_(state), battery_(controls, state), load_(controls, state) {}

    // Button 1118: flips the edit mode by the caption's language, not by the
    // language setting. Touches no other control; the next pass follows.
    void OnEditButton();

    void OnBatterySave() { battery_.Save(false); }     // button 1084
    void OnFullBatterySave() { battery_.Save(true); }  // button 1052
    void OnLoadSave() { load_.Save(); }                // button 1053

    // Selection change of mode list 1006 or 1008.
    void OnLoadModeSelected(int listId) { load_.MatchModeLists(listId); }

    // One pass of the settings worker. `deviceAddress` is the bus address the
    // engine last used, shown when an address search has found the controller.
    void SettingsPass(int32_t deviceAddress);

    bool IsEditing() const { return editMode != 0; }

    // 1 while the parameter area is in edit mode. Written only by
    // OnEditButton; read by every settings pass.
    AtomicValue editMode{0};

private:
    IControlAccess& controls_;
    SharedState& state_;
    BatteryParameters battery_;
    LoadControl load_;
};

}  // namespace kestrane
