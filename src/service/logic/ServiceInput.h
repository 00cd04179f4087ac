// How the service dialogs read numbers from the texts the operator types.
// None of these readers depends on the process locale: the decimal point is
// always '.'.
#pragma once

#include <cstdint>
#include <string_view>

namespace kestrane {

// An address typed into the Check Address dialog, read as the platform's
// dialog-integer conversion reads it: leading blanks skipped, an optional sign,
// the decimal digits up to the first other character. A text that does not
// begin with a number, or whose number does not fit in 32 bits, gives 0.
int32_t ReadAddressText(std::string_view text);

// A whole number typed into an edit or an editable list: leading blanks
// skipped, an optional sign, the digits up to the first other character; no
// digits give 0. A number beyond the 32-bit range saturates at its end.
int32_t ReadLeadingInteger(std::string_view text);

// A measured value in volts or amperes, as the C library's decimal conversion
// reads it (digits, an optional fraction and exponent), times ten and truncated
// toward zero: "12.34" gives 123, "0.09" gives 0, "4.99" gives 49. Computed
// from the decimal digits themselves, so a one-decimal text is always exact.
// No number gives 0; a value beyond the 32-bit range saturates at its end.
int32_t ReadTenthsText(std::string_view text);

// True for the two texts the dialogs treat as "nothing typed": empty and a
// single blank.
bool IsBlankEntry(std::string_view text);

}  // namespace kestrane
