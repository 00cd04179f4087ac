#include "service/logic/ServiceInput.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

namespace kestrane {

namespace {

constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();
constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();
// Past this many digits a magnitude is saturated anyway; stops the
// accumulator from overflowing on long texts.
constexpr int64_t kMagnitudeCap = kInt32Max + 1;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

struct SignedDigits {
    bool negative = false;
    bool anyDigit = false;
    bool overflow = false;  // the magnitude exceeds 2^31
    int64_t magnitude = 0;
};

// Leading blanks, an optional sign, then decimal digits.
SignedDigits ScanInteger(std::string_view text) {
    SignedDigits out;
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        out.negative = text[i] == '-';
        ++i;
    }
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        out.anyDigit = true;
        out.magnitude = out.magnitude * 10 + (text[i] - '0');
        if (out.magnitude > kMagnitudeCap) {
            out.overflow = true;
            out.magnitude = kMagnitudeCap;
        }
    }
    return out;
}

int32_t Saturate(bool negative, int64_t magnitude) {
    const int64_t value = negative ? -magnitude : magnitude;
    if (value > kInt32Max) return static_cast<int32_t>(kInt32Max);
    if (value < kInt32Min) return static_cast<int32_t>(kInt32Min);
    return static_cast<int32_t>(value);
}

}  // namespace

int32_t ReadAddressText(std::string_view text) {
    const SignedDigits d = ScanInteger(text);
    if (!d.anyDigit || d.overflow) return 0;
    const int64_t value = d.negative ? -d.magnitude : d.magnitude;
    if (value > kInt32Max || value < kInt32Min) return 0;
    return static_cast<int32_t>(value);
}

int32_t ReadLeadingInteger(std::string_view text) {
    const SignedDigits d = ScanInteger(text);
    return d.anyDigit ? Saturate(d.negative, d.magnitude) : 0;
}

int32_t ReadTenthsText(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    // The significant digits, and how many of them stand before the point.
    std::string digits;
    int64_t pointAt = 0;
    bool anyDigit = false;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        anyDigit = true;
        if (digits.empty() && text[i] == '0') continue;  // leading zeros carry nothing
        digits.push_back(text[i]);
        ++pointAt;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        for (; i < text.size() && IsDigit(text[i]); ++i) {
            anyDigit = true;
            if (digits.empty() && text[i] == '0') {
                --pointAt;
                continue;
            }
            digits.push_back(text[i]);
        }
    }
    if (!anyDigit) return 0;
    // An exponent counts only when digits follow it, as in the C library.
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        bool expNegative = false;
        if (j < text.size() && (text[j] == '-' || text[j] == '+')) {
            expNegative = text[j] == '-';
            ++j;
        }
        if (j < text.size() && IsDigit(text[j])) {
            int64_t exponent = 0;
            for (; j < text.size() && IsDigit(text[j]); ++j)
                exponent = std::min<int64_t>(exponent * 10 + (text[j] - '0'), 100000);
            pointAt += expNegative ? -exponent : exponent;
        }
    }
    // Times ten moves the point one place right; the digits before it are
    // the truncated result.
    const int64_t wholeDigits = pointAt + 1;
    int64_t magnitude = 0;
    for (int64_t k = 0; k < wholeDigits; ++k) {
        const int digit = k < static_cast<int64_t>(digits.size()) ? digits[k] - '0' : 0;
        magnitude = magnitude * 10 + digit;
        if (magnitude > kMagnitudeCap) {
            magnitude = kMagnitudeCap;
            break;
        }
    }
    return Saturate(negative, magnitude);
}

bool IsBlankEntry(std::string_view text) {
    return text.empty() || text == " ";
}

}  // namespace kestrane
