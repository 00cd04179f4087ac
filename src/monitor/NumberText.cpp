#include "monitor/NumberText.h"

#include <cstdio>

namespace kestrane {

std::string FormatTenths(uint32_t tenths) {
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

std::string FormatWholeWithDecimal(int32_t value) {
    return std::to_string(value) + ".0";
}

std::string FormatKilowattHours(uint32_t wattHours) {
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, "%03u", static_cast<unsigned>(wattHours % 1000));
    return std::to_string(wattHours / 1000) + "." + fraction + "kWh";
}

std::string FormatHex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(value));
    return text;
}

std::string FormatLowByte(uint32_t value) {
    return std::to_string(value & 0xFF);
}

}  // namespace kestrane
