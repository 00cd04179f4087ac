#include "service/logic/ServiceInput.h"

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <string>

#include "platform/DecimalText.h"
#include "platform/ProfileFile.h"

namespace kestrane {

int32_t ReadAddressText(std::string_view text) {
    const std::string s(text);
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(s.c_str(), &end, 10);
    if (end == s.c_str() || errno == ERANGE || value > std::numeric_limits<int32_t>::max() ||
        value < std::numeric_limits<int32_t>::min())
        return 0;
    return static_cast<int32_t>(value);
}

int32_t ReadLeadingInteger(std::string_view text) {
    return LeadingNumber(std::string(text));
}

int32_t ReadTenthsText(std::string_view text) {
    return ParseScaledText(text, 1);
}

bool IsBlankEntry(std::string_view text) {
    return text.empty() || text == " ";
}

}  // namespace kestrane
