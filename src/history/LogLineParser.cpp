#include "history/LogLineParser.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
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

// The form almost every field has: an optional minus, up to 18 digits, and
// for a floating-point number an optional point and more digits (up to 15
// digits in all, so the digits are exact in a double). Nullopt for any other
// text, which goes to std::from_chars. The result is the one from_chars
// gives: the division of two exact doubles rounds to the nearest double, as
// from_chars does with the decimal text.
template <typename Number>
std::optional<Number> PlainDecimal(std::string_view text) {
    constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const char* p = text.data();
    const char* const end = p + text.size();
    const bool negative = p != end && *p == '-';
    if (negative) ++p;
    int64_t digits = 0;
    int count = 0;
    int decimals = 0;
    const char* const first = p;
    // More digits than int64_t holds go to from_chars before they overflow.
    constexpr int kMaxDigits = 18;
    for (; p != end && *p >= '0' && *p <= '9'; ++p, ++count) {
        if (count == kMaxDigits) return std::nullopt;
        digits = digits * 10 + (*p - '0');
    }
    if (p == first) return std::nullopt;
    if constexpr (std::is_floating_point_v<Number>) {
        if (p != end && *p == '.') {
            const char* const point = ++p;
            for (; p != end && *p >= '0' && *p <= '9'; ++p, ++count) {
                if (count == kMaxDigits) return std::nullopt;
                digits = digits * 10 + (*p - '0');
            }
            decimals = static_cast<int>(p - point);
            if (decimals == 0) return std::nullopt;
        }
        if (p != end || count > 15) return std::nullopt;
        const double value = static_cast<double>(digits) / kPowersOfTen[decimals];
        return negative ? -value : value;
    } else {
        if (p != end) return std::nullopt;
        const int64_t value = negative ? -digits : digits;
        if (value < std::numeric_limits<Number>::min() ||
            value > std::numeric_limits<Number>::max())
            return std::nullopt;
        return static_cast<Number>(value);
    }
}

template <typename Number>
bool ParseWhole(std::string_view text, Number* value) {
    text = Trim(text);
    if (text.empty()) return false;
    if (const auto plain = PlainDecimal<Number>(text)) {
        *value = *plain;
        return true;
    }
    const auto result = std::from_chars(text.data(), text.data() + text.size(), *value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return false;
    if constexpr (std::is_floating_point_v<Number>) return std::isfinite(*value);
    return true;
}

// Where each field of `line` starts (after a comma, the first at 0), in
// `starts[0 .. count)`; false for more than kMaxFields fields. Eight bytes are
// looked at in one step: a record has a comma every six bytes or so, and a
// branch on every byte costs more than the parse of its numbers.
bool FieldStarts(std::string_view line, std::array<size_t, kMaxFields + 1>& starts, size_t& count) {
    count = 0;
    starts[count++] = 0;
    auto comma = [&](size_t at) {
        if (count == kMaxFields) return false;
        starts[count++] = at + 1;
        return true;
    };
    size_t i = 0;
    if constexpr (std::endian::native == std::endian::little) {
        constexpr uint64_t kOnes = 0x0101010101010101;
        constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7F;
        constexpr uint64_t kHigh = 0x8080808080808080;
        for (; i + 8 <= line.size(); i += 8) {
            uint64_t word = 0;
            std::memcpy(&word, line.data() + i, sizeof word);
            // A byte of v is zero where the byte is a comma; the high bit of
            // each such byte is set in `found` (exactly: no carry crosses a
            // byte, unlike the shorter test for any zero byte).
            const uint64_t v = word ^ (kOnes * static_cast<uint8_t>(','));
            for (uint64_t found = ~(((v & kLow7) + kLow7) | v) & kHigh; found != 0;
                 found &= found - 1) {
                if (!comma(i + static_cast<size_t>(std::countr_zero(found)) / 8)) return false;
            }
        }
    }
    for (; i < line.size(); ++i)
        if (line[i] == ',' && !comma(i)) return false;
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

    std::array<size_t, kMaxFields + 1> starts;  // only [0, count) is set and read
    size_t count = 0;
    if (!FieldStarts(line, starts, count)) return LogLineKind::Junk;
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
