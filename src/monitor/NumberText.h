// Number formats shared by the main window's texts and the event log.
//
// Values in tenths are printed from their integer digits rather than through
// a floating-point format, so the decimal point is always "." whatever the
// process locale (the window library sets the user's locale at start) and the
// result is exact for every 32-bit value.
#pragma once

#include <cstdint>
#include <string>

namespace kestrane {

// A register counting tenths, read as unsigned: 138 gives "13.8".
std::string FormatTenths(uint32_t tenths);

// A whole number shown with one decimal: -10 gives "-10.0".
std::string FormatWholeWithDecimal(int32_t value);

// Watt-hours as kilowatt-hours with three decimals: 12345 gives "12.345kWh".
std::string FormatKilowattHours(uint32_t wattHours);

// Upper-case hexadecimal without prefix: 0x180 gives "180".
std::string FormatHex(uint32_t value);

// The low 8 bits of a register, as a decimal number.
std::string FormatLowByte(uint32_t value);

}  // namespace kestrane
