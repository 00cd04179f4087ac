// The texts of one monitor pass: everything the main window shows of the
// controller record, formatted without touching a window, so the window's
// monitor pass and the command-line tool share it.
//
// The window applies the texts in the order given, each only where it differs
// from what the control shows (so an unchanged window does not flicker). A
// control that does not appear keeps its text: the running state for a state
// without a name, the charge voltages for an unknown battery type, some load
// lines for some load modes. Nothing is shown or hidden by a pass; the layout
// switch between lead-acid and lithium batteries only changes texts.
#pragma once

#include <vector>

#include "monitor/DisplayText.h"
#include "platform/LocalClock.h"
#include "protocol/ControllerData.h"

namespace kestrane {

// The texts of one pass, in this order: the PC's date and time (1182), the
// running state (1087), the real-time values (1042-1050), the alarm (1051),
// the battery type, its parameters and layout (1088-1099, 1101-1108), the
// identity (1109-1111), the six load lines (1100, 1112-1116) and the energy
// statistics (1123-1128). `now` is the PC's local time for 1182.
std::vector<ControlText> FormatMonitorTexts(const ControllerData& data, const LocalTime& now,
                                            bool english);

// "2022- 1-10   8: 5: 0": fields padded with spaces, two spaces between date
// and time.
std::string FormatPcDateTime(const LocalTime& now);

}  // namespace kestrane
