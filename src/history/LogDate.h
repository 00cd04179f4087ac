// The calendar day of a log file and the file's name "<year>_<month>_<day>_Log.csv".
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrane {

struct LogDate {
    int year = 0;
    int month = 0;
    int day = 0;

    auto operator<=>(const LogDate&) const = default;
    bool IsValid() const;
};

// "2022_1_10_Log.csv" for 10 January 2022, as the log writer names it.
std::string LogFileName(const LogDate& date);

// The date of a log file name; nullopt for any other name. Leading zeros
// ("2022_01_10_Log.csv", from a copy renamed by hand) are accepted.
std::optional<LogDate> ParseLogFileName(std::string_view fileName);

// Days since 1 January 1970 (negative before), for gaps and neighbours.
int DaysSinceEpoch(const LogDate& date);
// The date `days` after 1 January 1970.
LogDate DateFromDaysSinceEpoch(int days);

// "2022-01-10"; nullopt for any other text or an impossible date.
std::optional<LogDate> ParseIsoDate(std::string_view text);
std::string IsoDate(const LogDate& date);

// Local wall-clock seconds since 1970-01-01 00:00 of "2022-01-10" (its
// midnight), "2022-01-10T08:05" or "2022-01-10T08:05:30"; nullopt otherwise.
std::optional<int64_t> ParseLocalDateTime(std::string_view text);

}  // namespace kestrane
