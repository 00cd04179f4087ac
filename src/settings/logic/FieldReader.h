// Numbers typed into the parameter edits, read as ParseDecimalText and
// ParseScaledText read them.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/DecimalText.h"
#include "ui/ControlAccess.h"

namespace kestrane {

// The number in a control's text, truncated toward zero ("7.9" gives 7).
int32_t ReadIntegerField(const IControlAccess& controls, int id);

// The number in a control's text.
double ReadDecimalField(const IControlAccess& controls, int id);

// The number in a control's text in tenths, truncated toward zero: volts or
// amperes as the registers count them.
int32_t ReadTenthsField(const IControlAccess& controls, int id);

}  // namespace kestrane
