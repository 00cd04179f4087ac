// The parameter area of the main window: the edit-mode flag and its toggle,
// the battery and load SAVE handlers, and the settings pass that shows the
// progress of the last settings operation and brings the parameter controls
// into the state the edit mode asks for.
//
// The window owns one ParameterEditor for its whole life and calls it from
// its handlers. Every member runs on the window thread; the settings worker
// reaches SettingsPass through a synchronous call into that thread.
#pragma once

#include <atomic>
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
    // Editing does not start before a pass has shown the controller's own
    // settings: a SAVE from fields that were never filled would write zeros.
    void OnEditButton();

    void OnBatterySave() { battery_.Save(false); }     // button 1084
    void OnFullBatterySave() { battery_.Save(true); }  // button 1052
    void OnLoadSave() { load_.Save(); }                // button 1053

    // Selection change of mode list 1006 or 1008.
    void OnLoadModeSelected(int listId) { load_.MatchModeLists(listId); }

    // One pass of the settings worker. `deviceAddress` is the bus address the
    // engine last used, shown when an address search has found the controller.
    // `settingsRead` says whether every block the fields show has been read
    // from the controller since the port was opened, sampled before the pass
    // reads the record; until a pass with it set has filled the fields, the
    // edit button stays disabled.
    void SettingsPass(int32_t deviceAddress, bool settingsRead);

    // The port was (re)opened: the fields may hold another controller's
    // values, so editing waits for a pass that shows this one's. An edit in
    // progress is left as it is.
    void ForgetControllerValues();

    bool IsEditing() const { return editMode != 0; }
    bool ControllerValuesShown() const { return valuesShown_.load(); }

    // 1 while the parameter area is in edit mode. Written only by
    // OnEditButton; read by every settings pass.
    AtomicValue editMode{0};

private:
    IControlAccess& controls_;
    SharedState& state_;
    BatteryParameters battery_;
    LoadControl load_;
    // Set by the first pass that filled the fields from a full read.
    std::atomic<bool> valuesShown_{false};
};

}  // namespace kestrane
