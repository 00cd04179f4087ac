// Numbers in texts an operator types, read the way the C library's atof reads
// them: leading white space, an optional sign, digits with an optional
// fraction and exponent, stopping at the first character that does not fit; a
// text without a number reads as 0. Only decimal notation counts (no
// hexadecimal, infinity or NaN), and the decimal point is always '.', whatever
// the process locale says.
#pragma once

#include <cstdint>
#include <string_view>

namespace kestrane {

// The number in `text` as a double.
double ParseDecimalText(std::string_view text);

// The number in `text` times 10^scale, truncated toward zero and saturated to
// the int32 range. Computed from the decimal digits themselves, so "13.8" at
// scale 1 is exactly 138 and "15.05" exactly 150.
int32_t ParseScaledText(std::string_view text, int scale);

}  // namespace kestrane
