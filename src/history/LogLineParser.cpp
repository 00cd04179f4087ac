#include "history/LogLineParser.h"

#include <array>
#include <charconv>
#include <cmath>
#include <type_traits>

namespace kestrane {

namespace {

constexpr size_t kLeadingFields = 3;    // date, time, event
constexpr size_t kTrailingFields = 14;  // work mode .. battery temperature
constexpr size_t kMaxFields = 64;

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

template <typename Number>
bool ParseWhole(std::string_view text, Number* value) {
    text = Trim(text);
    if (text.empty()) return false;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), *value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return false;
    if constexpr (std::is_floating_point_v<Number>) return std::isfinite(*value);
    return true;
}

// "8:5:0" (no leading zeros) or "08:05:00".
bool ParseTime(std::string_view text, int32_t* secondOfDay) {
    std::array<int, 3> parts{};
    for (size_t i = 0; i < parts.size(); ++i) {
        const size_t colon = i + 1 < parts.size() ? text.find(':') : text.size();
        if (colon == std::string_view::npos || !ParseWhole(text.substr(0, colon), &parts[i]))
            return false;
        text.remove_prefix(std::min(text.size(), colon + 1));
    }
    if (parts[0] < 0 || parts[0] > 23 || parts[1] < 0 || parts[1] > 59 || parts[2] < 0 ||
        parts[2] > 59) {
        return false;
    }
    *secondOfDay = parts[0] * 3600 + parts[1] * 60 + parts[2];
    return true;
}

// "2022.1.10", or the bare day of the month of older files.
bool IsDateField(std::string_view text) {
    text = Trim(text);
    if (text.empty() || text.front() == '.' || text.back() == '.') return false;
    for (char c : text)
        if ((c < '0' || c > '9') && c != '.') return false;
    return true;
}

}  // namespace

LogLineKind ParseLogLine(std::string_view line, HistorySample* sample, LogRecordTexts* texts) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (Trim(line).empty()) return LogLineKind::Empty;
    if (line.starts_with("Date,Time,Event,")) return LogLineKind::Header;

    std::array<size_t, kMaxFields + 1> starts{};
    size_t count = 0;
    starts[count++] = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] != ',') continue;
        if (count == kMaxFields) return LogLineKind::Junk;
        starts[count++] = i + 1;
    }
    if (count < kLeadingFields + kTrailingFields + 1) return LogLineKind::Junk;
    auto field = [&](size_t index) {
        const size_t end = index + 1 < count ? starts[index + 1] - 1 : line.size();
        return line.substr(starts[index], end - starts[index]);
    };

    HistorySample parsed;
    const std::string_view event = Trim(field(2));
    if (event == "Connected") {
        parsed.connected = true;
    } else if (event != "Disconnected") {
        return LogLineKind::Junk;
    }
    if (!IsDateField(field(0)) || !ParseTime(Trim(field(1)), &parsed.secondOfDay))
        return LogLineKind::Junk;

    const size_t tail = count - kTrailingFields;
    const std::string_view load = Trim(field(tail + 1));
    if (load != "ON" && load != "OFF") return LogLineKind::Junk;
    parsed.loadOn = load == "ON";

    double* tenths[] = {&parsed.pvVoltage, &parsed.batteryVoltage, &parsed.loadVoltage,
                        &parsed.chargeCurrent, &parsed.loadCurrent};
    for (size_t i = 0; i < std::size(tenths); ++i)
        if (!ParseWhole(field(tail + 3 + i), tenths[i])) return LogLineKind::Junk;
    int64_t* counts[] = {&parsed.chargePower, &parsed.loadPower, &parsed.chargedTodayWh,
                         &parsed.usedTodayWh};
    for (size_t i = 0; i < std::size(counts); ++i)
        if (!ParseWhole(field(tail + 8 + i), counts[i])) return LogLineKind::Junk;
    if (!ParseWhole(field(tail + 12), &parsed.innerTemperature) ||
        !ParseWhole(field(tail + 13), &parsed.batteryTemperature)) {
        return LogLineKind::Junk;
    }
    const std::string_view errorCode = Trim(field(tail + 2));
    if (errorCode.empty()) return LogLineKind::Junk;

    // The serial number runs from the fourth field to the work mode field.
    const size_t serialStart = starts[kLeadingFields];
    const size_t serialEnd = starts[tail] - 1;
    texts->serialNumber = line.substr(serialStart, serialEnd - serialStart);
    texts->workMode = Trim(field(tail));
    texts->errorCode = errorCode;
    parsed.serialText = sample->serialText;
    parsed.workModeText = sample->workModeText;
    parsed.errorText = sample->errorText;
    *sample = parsed;
    return LogLineKind::Record;
}

}  // namespace kestrane
