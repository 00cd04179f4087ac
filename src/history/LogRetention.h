// Deleting the daily log files that are older than a number of days. Only
// regular files whose names are the log's own pattern are ever touched:
// anything else a person put into the folders stays.
#pragma once

#include <string>

#include "history/LogDate.h"

namespace kestrane {

// Deletes, in every sub-folder of `root` (one per controller), the log files
// dated more than `keepDays` days before `today`. Links are not followed.
// Returns the number of files deleted.
int DeleteOldLogDays(const std::string& root, int keepDays, const LogDate& today);

}  // namespace kestrane
