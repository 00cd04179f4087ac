// The bridge's history folder as the dashboard and the command line read it:
// one sub-folder per controller (named by its device id) holding the daily
// log files. Everything goes through the log reader; nothing here parses a
// line of its own.
//
// A day's totals are kept per file by size and modification time, so listing
// a year of days reads only the files that changed. The newest file of each
// controller (today's, still growing) is kept open in a reader that takes
// only what was appended since the last call. Safe to call from several
// threads.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/CLogDayReader.h"
#include "history/HistoryDay.h"
#include "history/HistorySeries.h"
#include "history/LogDate.h"

namespace kestrane {

struct StoredDay {
    LogDate date;
    uint64_t size = 0;  // bytes of the file
    DayTotals totals;
};

class HistoryStore {
public:
    explicit HistoryStore(std::string root);

    // True for a name the bridge gives a controller's folder ([a-z0-9_-],
    // at most 64 characters). Anything else is never turned into a path.
    static bool IsDeviceName(std::string_view name);

    const std::string& Root() const { return root_; }

    // The controllers' folders, sorted; an unreadable root gives none.
    std::vector<std::string> Devices() const;

    // The days of a controller from `from` to `to` (both included; an
    // invalid date leaves that end open), oldest first. Nothing for a name
    // that is not a controller's folder.
    std::optional<std::vector<StoredDay>> Days(const std::string& device, LogDate from = {},
                                               LogDate to = {});

    // Records in [from, to) (local seconds) in `buckets` buckets. Nothing for
    // a name that is not a controller's folder.
    std::optional<SeriesPoints> Series(const std::string& device, int64_t from, int64_t to,
                                       int buckets);

    // The path of a day's file, when it exists.
    std::optional<std::string> DayFile(const std::string& device, const LogDate& date) const;

private:
    struct CachedTotals {
        uint64_t size = 0;
        int64_t modified = 0;  // nanoseconds
        DayTotals totals;
    };
    struct Growing {
        std::string path;
        std::unique_ptr<CLogDayReader> reader;
    };

    std::optional<std::string> DeviceFolder(const std::string& device) const;
    // The reader of a controller's newest file, brought up to date.
    const HistoryDay& GrowingDay(const std::string& device, const std::string& path,
                                 const LogDate& date);

    const std::string root_;
    std::mutex mutex_;
    std::map<std::string, CachedTotals> totals_;  // by path
    std::map<std::string, Growing> growing_;      // by device
};

}  // namespace kestrane
