// Reads one line of the event log. Record lines carry no quoting and the
// serial number may contain commas, so the three leading fields are taken
// from the left and the fourteen trailing ones from the right; whatever lies
// between is the serial number.
#pragma once

#include <string_view>

#include "history/HistoryDay.h"

namespace kestrane {

enum class LogLineKind { Record, Header, Empty, Junk };

// The text fields of a record, pointing into the parsed line.
struct LogRecordTexts {
    std::string_view serialNumber;
    std::string_view workMode;
    std::string_view errorCode;
};

// Classifies `line` (without its line end; a trailing CR is ignored). For a
// record, fills the numbers and flags of `sample` (its text indices are left
// alone) and `texts`. The date field is checked for form only: the day comes
// from the file name, and files from before the full date held only the day.
LogLineKind ParseLogLine(std::string_view line, HistorySample* sample, LogRecordTexts* texts);

}  // namespace kestrane
