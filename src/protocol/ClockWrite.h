// The clock write image (registers 0x0602-0x0607 after the set-clock command
// word): shared by the Set Time dialog and the bridge's clock command.
#pragma once

#include <array>
#include <cstdint>

#include "protocol/ControllerData.h"

namespace kestrane {

// Year, month, day, hour, minute, second, as given.
using ClockValues = std::array<int32_t, ControllerData::kClockWriteWords>;

// Stores the six values in the clock write image. The controller keeps a
// two-digit year; the reduction is done on the unsigned value, so -5 gives
// 91. Nothing else is range-checked: the controller judges the values.
void FillClockWrite(ControllerData& data, const ClockValues& values);

}  // namespace kestrane
