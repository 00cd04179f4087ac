#include "platform/DecimalText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace kestrane {

namespace {

// The parts of the longest prefix of a text that forms a decimal number.
struct DecimalNumber {
    bool found = false;
    bool negative = false;
    std::string_view number;    // from the first digit or point to the end of the exponent
    std::string digits;         // every mantissa digit, without the point
    int64_t pointPosition = 0;  // digits before the point
    int64_t exponent = 0;
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

DecimalNumber Scan(std::string_view text) {
    DecimalNumber result;
    size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        result.negative = text[pos] == '-';
        ++pos;
    }
    const size_t start = pos;
    while (pos < text.size() && IsDigit(text[pos]))
        result.digits += text[pos++];
    result.pointPosition = static_cast<int64_t>(result.digits.size());
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && IsDigit(text[pos]))
            result.digits += text[pos++];
    }
    if (result.digits.empty()) return {};
    result.found = true;

    // An exponent counts only when at least one digit follows the 'e' and its sign.
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        size_t expPos = pos + 1;
        bool expNegative = false;
        if (expPos < text.size() && (text[expPos] == '+' || text[expPos] == '-')) {
            expNegative = text[expPos] == '-';
            ++expPos;
        }
        if (expPos < text.size() && IsDigit(text[expPos])) {
            constexpr int64_t kExponentCap = 1'000'000;  // far beyond any int32 or double
            int64_t exponent = 0;
            while (expPos < text.size() && IsDigit(text[expPos])) {
                exponent = std::min(kExponentCap, exponent * 10 + (text[expPos] - '0'));
                ++expPos;
            }
            result.exponent = expNegative ? -exponent : exponent;
            pos = expPos;
        }
    }
    result.number = text.substr(start, pos - start);
    return result;
}

}  // namespace

double ParseDecimalText(std::string_view text) {
    const DecimalNumber scanned = Scan(text);
    if (!scanned.found) return 0.0;
    double value = 0.0;
    const char* first = scanned.number.data();
    const char* last = first + scanned.number.size();
    const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        value = scanned.exponent > 0 ? HUGE_VAL : 0.0;
    } else if (ec != std::errc()) {
        value = 0.0;
    }
    return scanned.negative ? -value : value;
}

int32_t ParseScaledText(std::string_view text, int scale) {
    const DecimalNumber scanned = Scan(text);
    if (!scanned.found) return 0;

    // Drop leading zeros so that the integer part's length tells its size.
    const size_t firstNonZero = scanned.digits.find_first_not_of('0');
    if (firstNonZero == std::string::npos) return 0;
    const std::string_view digits = std::string_view(scanned.digits).substr(firstNonZero);
    const int64_t point =
        scanned.pointPosition - static_cast<int64_t>(firstNonZero) + scanned.exponent + scale;
    if (point <= 0) return 0;

    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t magnitude = 0;
    for (int64_t i = 0; i < point; ++i) {
        const int digit = i < static_cast<int64_t>(digits.size()) ? digits[i] - '0' : 0;
        magnitude = magnitude * 10 + digit;
        if (magnitude >= kLimit) {
            magnitude = kLimit;
            break;
        }
    }
    if (scanned.negative) return static_cast<int32_t>(-magnitude);
    return static_cast<int32_t>(std::min(magnitude, kLimit - 1));
}

}  // namespace kestrane
