#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "service/logic/ServiceInput.h"

namespace kestrane {

struct TextCase {
    std::string text;
    int32_t expected;
};

TEST(ServiceInput, MeasuredTextsBecomeTruncatedTenths) {
    const TextCase cases[] = {
        {"12.5", 125},
        {"12.34", 123},
        {"0.09", 0},
        {"4.99", 49},
        {"5", 50},
        {" 7.9V", 79},
        {"-1.25", -12},
        {"+3.0", 30},
        {".5", 5},
        {"1e1", 100},
        {"1.5e-1", 1},
        {"2e", 20},
        {"2e+", 20},
        {"0.7", 7},
        {"1.1", 11},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {".", 0},
        {"00012.30", 123},
        {"99999999999", INT32_MAX},
        {"-99999999999", INT32_MIN},
        {"1e99999999", INT32_MAX},
        {"0e99999999", 0},
        {"1e-99999999", 0},
    };
    for (const TextCase& c : cases)
        EXPECT_EQ(ReadTenthsText(c.text), c.expected) << '"' << c.text << '"';
}

TEST(ServiceInput, LeadingIntegersSaturateAndStopAtTheFirstOtherCharacter) {
    const TextCase cases[] = {
        {"  -5x", -5},
        {"7", 7},
        {"+8", 8},
        {"12.9", 12},
        {"abc", 0},
        {"", 0},
        {"- 3", 0},
        {"\t42", 42},
        {"99999999999", INT32_MAX},
        {"-2147483648", INT32_MIN},
    };
    for (const TextCase& c : cases)
        EXPECT_EQ(ReadLeadingInteger(c.text), c.expected) << '"' << c.text << '"';
}

TEST(ServiceInput, AddressTextsThatDoNotFitReadAsZero) {
    const TextCase cases[] = {
        {" 12", 12}, {"247", 247},       {"-5", -5},        {"12abc", 12},
        {"abc", 0},  {"99999999999", 0}, {"4294967297", 0}, {"2147483647", INT32_MAX},
    };
    for (const TextCase& c : cases)
        EXPECT_EQ(ReadAddressText(c.text), c.expected) << '"' << c.text << '"';
}

TEST(ServiceInput, OnlyEmptyAndOneBlankCountAsNothingTyped) {
    EXPECT_TRUE(IsBlankEntry(""));
    EXPECT_TRUE(IsBlankEntry(" "));
    EXPECT_FALSE(IsBlankEntry("  "));
    EXPECT_FALSE(IsBlankEntry("0"));
}

}  // namespace kestrane
