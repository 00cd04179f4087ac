// Small pieces shared by the parameter handlers and the settings pass: writing a control's text
// only when it changes, and the three ways a register value is shown in a parameter edit.
#pragma once

#include <cstdint>
#include <string>

#include "ui/ControlAccess.h"

namespace kestrane::settings {

// Writes the text only when it differs byte by byte from what the control
// shows, so a pass that repeats every field does not make them flicker.
void SetTextIfChanged(IControlAccess& controls, int id, const std::string& text);

enum class FieldFormat {
    kTenths,  // unsigned tenths with one decimal: 138 shows as 13.8
    kLow8,    // the low 8 bits in decimal: 300 shows as 44
    kMod100,  // the unsigned value modulo 100: 5106 shows as 6
};

std::string FormatField(int32_t value, FieldFormat format);

}  // namespace kestrane::settings
