#include "history/LogDate.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>

namespace kestrane {

namespace {

// Parses a whole run of digits; false for an empty or non-numeric text.
bool ParseNumber(std::string_view text, int* value) {
    if (text.empty() || text.size() > 9) return false;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), *value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

}  // namespace

bool LogDate::IsValid() const {
    const std::chrono::year_month_day ymd{std::chrono::year(year),
                                          std::chrono::month(static_cast<unsigned>(month)),
                                          std::chrono::day(static_cast<unsigned>(day))};
    return year >= 1970 && year <= 9999 && month >= 1 && day >= 1 && ymd.ok();
}

std::string LogFileName(const LogDate& date) {
    return std::to_string(date.year) + "_" + std::to_string(date.month) + "_" +
           std::to_string(date.day) + "_Log.csv";
}

std::optional<LogDate> ParseLogFileName(std::string_view name) {
    constexpr std::string_view kSuffix = "_Log.csv";
    if (name.size() <= kSuffix.size() || !name.ends_with(kSuffix)) return std::nullopt;
    name.remove_suffix(kSuffix.size());
    const size_t first = name.find('_');
    const size_t second = first == std::string_view::npos ? first : name.find('_', first + 1);
    if (second == std::string_view::npos) return std::nullopt;
    LogDate date;
    if (!ParseNumber(name.substr(0, first), &date.year) ||
        !ParseNumber(name.substr(first + 1, second - first - 1), &date.month) ||
        !ParseNumber(name.substr(second + 1), &date.day) || !date.IsValid()) {
        return std::nullopt;
    }
    return date;
}

int DaysSinceEpoch(const LogDate& date) {
    const std::chrono::sys_days days{std::chrono::year(date.year) /
                                     std::chrono::month(static_cast<unsigned>(date.month)) /
                                     std::chrono::day(static_cast<unsigned>(date.day))};
    return static_cast<int>(days.time_since_epoch().count());
}

LogDate DateFromDaysSinceEpoch(int days) {
    const std::chrono::year_month_day ymd{std::chrono::sys_days{std::chrono::days(days)}};
    return {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
            static_cast<int>(static_cast<unsigned>(ymd.day()))};
}

std::optional<LogDate> ParseIsoDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    LogDate date;
    if (!ParseNumber(text.substr(0, 4), &date.year) ||
        !ParseNumber(text.substr(5, 2), &date.month) ||
        !ParseNumber(text.substr(8, 2), &date.day) || !date.IsValid())
        return std::nullopt;
    return date;
}

std::string IsoDate(const LogDate& date) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
    return text;
}

std::optional<int64_t> ParseLocalDateTime(std::string_view text) {
    const auto date = ParseIsoDate(text.substr(0, std::min<size_t>(text.size(), 10)));
    if (!date) return std::nullopt;
    int hour = 0, minute = 0, second = 0;
    if (text.size() > 10) {
        const std::string_view time = text.substr(10);
        if ((time.size() != 6 && time.size() != 9) || time[0] != 'T' || time[3] != ':' ||
            !ParseNumber(time.substr(1, 2), &hour) || !ParseNumber(time.substr(4, 2), &minute))
            return std::nullopt;
        if (time.size() == 9 && (time[6] != ':' || !ParseNumber(time.substr(7, 2), &second)))
            return std::nullopt;
        if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
    }
    return int64_t{DaysSinceEpoch(*date)} * 86400 + hour * 3600 + minute * 60 + second;
}

}  // namespace kestrane
