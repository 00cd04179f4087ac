// A day's records as a CSV file for spreadsheets: one header line, ISO 8601
// timestamps, text fields quoted (so a serial number with a comma stays one
// field), numbers plain, lines ending in CR LF.
#pragma once

#include <string>

#include "history/HistoryDay.h"

namespace kestrane {

inline constexpr const char* kCleanCsvHeader =
    "Timestamp,Event,SerialNumber,WorkMode,LoadOutputState,ErrorCode,PV(V),Bat(V),"
    "LoadOutput(V),Charge(A),LoadOutput(A),ChargePower(W),LoadPower(W),TodayCharged(Wh),"
    "TodayUsed(Wh),InnerTemp(C),OutSideTemp(C)";

std::string FormatCleanCsv(const HistoryDay& day);

// Writes FormatCleanCsv to `path`; false when the file cannot be written.
bool WriteCleanCsv(const HistoryDay& day, const std::string& path);

}  // namespace kestrane
