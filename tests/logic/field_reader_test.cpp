#include "settings/logic/FieldReader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/FakeControls.h"

namespace kestrane {
namespace {

struct NumberCase {
    const char* text;
    int32_t tenths;
    int32_t integer;
};

// Texts as an operator types them, and what the registers receive.
const NumberCase kNumberCases[] = {
    {"13.8", 138, 13},
    {"14", 140, 14},
    {"15.05", 150, 15},
    {"15.0", 150, 15},
    {"7.9", 79, 7},
    {"abc", 0, 0},
    {"", 0, 0},
    {".", 0, 0},
    {"-", 0, 0},
    {"  12.5", 125, 12},
    {"\t\n+9", 90, 9},
    {"-0.5", -5, 0},
    {"-7.9", -79, -7},
    {"12.3V", 123, 12},
    {"1 2", 10, 1},
    {"1,5", 10, 1},  // the decimal point is '.' in every locale
    {".5", 5, 0},
    {"5.", 50, 5},
    {"007.25", 72, 7},
    {"1.38e1", 138, 13},
    {"138e-1", 138, 13},
    {"2e", 20, 2},  // an 'e' without digits ends the number
    {"2e+", 20, 2},
    {"0x10", 0, 0},  // no hexadecimal
    {"inf", 0, 0},
    {"nan", 0, 0},
    {"0.29999999999999999", 2, 0},  // decimal digits, not the nearest double
};

TEST(FieldReader, ReadsTenthsAndIntegersFromTheDecimalDigits) {
    for (const NumberCase& c : kNumberCases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseScaledText(c.text, 1), c.tenths);
        EXPECT_EQ(ParseScaledText(c.text, 0), c.integer);
    }
}

TEST(FieldReader, SaturatesNumbersBeyondThe32BitRange) {
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    EXPECT_EQ(ParseScaledText("99999999999", 1), kMax);
    EXPECT_EQ(ParseScaledText("-99999999999", 0), kMin);
    EXPECT_EQ(ParseScaledText("1e400", 1), kMax);
    EXPECT_EQ(ParseScaledText("-1e99999999999999999999", 1), kMin);
    EXPECT_EQ(ParseScaledText("1e-400", 1), 0);
    EXPECT_EQ(ParseScaledText("214748364.7", 1), kMax);
    EXPECT_EQ(ParseScaledText("214748364.8", 1), kMax);
    EXPECT_EQ(ParseScaledText("-214748364.8", 1), kMin);
    EXPECT_EQ(ParseScaledText(std::string(5000, '9'), 0), kMax);
}

TEST(FieldReader, ReadsDecimalsAsDoubles) {
    EXPECT_DOUBLE_EQ(ParseDecimalText("13.8"), 13.8);
    EXPECT_DOUBLE_EQ(ParseDecimalText("  -2.5e1x"), -25.0);
    EXPECT_DOUBLE_EQ(ParseDecimalText("+.5"), 0.5);
    EXPECT_EQ(ParseDecimalText("volts"), 0.0);
    EXPECT_EQ(ParseDecimalText("inf"), 0.0);
    EXPECT_EQ(ParseDecimalText("1e-400"), 0.0);
    EXPECT_TRUE(std::isinf(ParseDecimalText("1e400")));
}

TEST(FieldReader, ReadsTheControlsText) {
    testing::FakeControls controls;
    controls.SetText(1054, " 13.8 V");
    EXPECT_EQ(ReadTenthsField(controls, 1054), 138);
    EXPECT_EQ(ReadIntegerField(controls, 1054), 13);
    EXPECT_DOUBLE_EQ(ReadDecimalField(controls, 1054), 13.8);
    EXPECT_EQ(ReadTenthsField(controls, 9999), 0);  // a control that holds nothing
}

}  // namespace
}  // namespace kestrane
