#include "settings/logic/ParameterEditor.h"

#include "monitor/ControlIds.h"
#include "settings/logic/SettingsProgress.h"
#include "settings/logic/SettingsText.h"

namespace kestrane {

namespace {

struct EditCaptions {
    const char* start;
    const char* stop;
};
constexpr EditCaptions kEditCaptions[] = {
    {"START EDIT", "STOP EDIT"},
    {"开始编辑", "停止编辑"},
};

}  // namespace

void ParameterEditor::OnEditButton() {
    const std::string caption = controls_.Text(id::kEditButton);
    for (const EditCaptions& captions : kEditCaptions) {
        if (caption == captions.start) {
            if (!valuesShown_) return;
            editMode = 1;
            controls_.SetText(id::kEditButton, captions.stop);
            return;
        }
        if (caption == captions.stop) {
            controls_.SetText(id::kEditButton, captions.start);
            editMode = 0;
            return;
        }
    }
}

void ParameterEditor::ForgetControllerValues() {
    valuesShown_ = false;
    if (!IsEditing()) controls_.Enable(id::kEditButton, false);
}

void ParameterEditor::SettingsPass(int32_t deviceAddress, bool settingsRead) {
    if (const auto text =
            SettingsStatusText(state_.settingsStatus, deviceAddress, state_.IsEnglish())) {
        settings::SetTextIfChanged(controls_, id::kMessageLine, *text);
    }

    if (IsEditing()) {
        battery_.FollowEditMode();
        load_.FollowEditMode();
        return;
    }
    battery_.DisableControls();
    load_.DisableControls();
    battery_.ShowControllerValues();
    load_.ShowControllerValues();
    for (int button : {id::kBatterySaveButton, id::kBatteryVoltageSaveButton, id::kLoadSaveButton})
        controls_.Enable(button, false);
    if (settingsRead) valuesShown_ = true;
    controls_.Enable(id::kEditButton, valuesShown_);
}

}  // namespace kestrane
