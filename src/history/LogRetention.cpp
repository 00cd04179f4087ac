#include "history/LogRetention.h"

#include <filesystem>
#include <system_error>

namespace kestrane {

namespace fs = std::filesystem;

namespace {

int DeleteOldIn(const fs::path& folder, int oldestKept) {
    int deleted = 0;
    std::error_code error;
    for (fs::directory_iterator it(folder, error); !error && it != fs::directory_iterator();
         it.increment(error)) {
        const auto date = ParseLogFileName(it->path().filename().string());
        std::error_code statError;
        if (!date || !fs::is_regular_file(it->symlink_status(statError))) continue;
        if (DaysSinceEpoch(*date) >= oldestKept) continue;
        std::error_code removeError;
        if (fs::remove(it->path(), removeError)) ++deleted;
    }
    return deleted;
}

}  // namespace

int DeleteOldLogDays(const std::string& root, int keepDays, const LogDate& today) {
    if (keepDays <= 0 || !today.IsValid()) return 0;
    const int oldestKept = DaysSinceEpoch(today) - keepDays;
    int deleted = 0;
    std::error_code error;
    for (fs::directory_iterator it(root, error); !error && it != fs::directory_iterator();
         it.increment(error)) {
        std::error_code statError;
        if (fs::is_directory(it->symlink_status(statError)))
            deleted += DeleteOldIn(it->path(), oldestKept);
    }
    return deleted;
}

}  // namespace kestrane
