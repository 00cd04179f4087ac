// The parameter area of the main window on fake controls: lists filled as the
// dialog resource fills them, edit button at START EDIT, a fresh shared state.
#pragma once

#include <string>
#include <vector>

#include "monitor/ControlIds.h"
#include "protocol/SharedState.h"
#include "settings/logic/ParameterEditor.h"
#include "support/FakeControls.h"

namespace kestrane::testing {

struct ParameterWindow {
    explicit ParameterWindow(bool english = true) {
        SetEnglish(english);
        controls.SetItems(id::kBatteryTypeList, {"User-Diy", "FLD", "SEL", "GEL", "Li-ion"});
        std::vector<std::string> voltages{"Auto"};
        for (int n = 1; n <= 40; ++n)
            voltages.push_back(std::to_string(12 * n) + "V");
        controls.SetItems(id::kSystemVoltageList, voltages);
        controls.SetItems(id::kLoadModeListEnglish, {"Light Mode", "Light&Time Mode",
                                                     "Dual Timer Mode", "On Mode", "Off Mode"});
        controls.SetItems(id::kLoadModeListChinese, {"光控模式", "固定时间光控模式",
                                                     "双时段定时模式", "常开模式", "常关模式"});
        controls.Select(id::kLoadModeListEnglish, 0);
        controls.Select(id::kLoadModeListChinese, 0);
        controls.SetText(id::kEditButton, english ? "START EDIT" : "开始编辑");
    }

    void SetEnglish(bool english) { state.SetLanguageFlag(english ? "ENGLISH" : "CHINESE"); }

    void Type(int id, const std::string& text) { controls.SetText(id, text); }
    // A settings pass after the controller's settings have all been read.
    void Pass(int32_t address = 1) { editor.SettingsPass(address, true); }

    template <size_t N>
    static std::vector<int32_t> Values(const AtomicValue (&image)[N]) {
        std::vector<int32_t> values;
        for (const AtomicValue& v : image)
            values.push_back(v);
        return values;
    }
    std::vector<int32_t> Battery() const { return Values(state.data.batteryWrite); }
    std::vector<int32_t> LeadAcid() const { return Values(state.data.leadAcidWrite); }
    std::vector<int32_t> Lithium() const { return Values(state.data.lithiumWrite); }
    std::vector<int32_t> Load() const { return Values(state.data.loadWrite); }

    SharedState state;
    FakeControls controls;
    ParameterEditor editor{controls, state};
};

}  // namespace kestrane::testing
