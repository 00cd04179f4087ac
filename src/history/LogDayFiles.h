// The daily log files of a folder and the cheap summary of each day that the
// days view needs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "history/LogDate.h"

namespace kestrane {

struct LogDayFile {
    LogDate date;
    std::string path;
    uint64_t size = 0;
};

// The files named "<year>_<month>_<day>_Log.csv" directly in `folder`, oldest
// first. Other files and sub-folders are ignored; an unreadable or missing
// folder gives an empty list.
std::vector<LogDayFile> ListLogDays(const std::string& folder);

struct DaySummary {
    LogDate date;
    bool hasData = false;  // a connected record was found
    int64_t chargedWh = 0;
    int64_t usedWh = 0;
};

// TodayCharged and TodayUsed of the day's last connected record. Reads only
// the end of the file; when no connected record lies there, the whole file.
DaySummary SummariseDay(const LogDayFile& file);
std::vector<DaySummary> SummariseDays(const std::vector<LogDayFile>& files);

}  // namespace kestrane
