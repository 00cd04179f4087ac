#include "history/LogDate.h"

#include <charconv>
#include <chrono>

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

}  // namespace kestrane
