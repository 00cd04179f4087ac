// The message-line text of each settings status: what the last settings
// operation came to, in either language.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kestrane {

namespace settings {
// Values of the settings status that this side sets or treats apart.
constexpr int32_t kStatusWriting = 3;
constexpr int32_t kStatusAddressFound = 5;
}  // namespace settings

// The text for `status`, with the address appended for an address found, or
// nothing for a value that has no text (the message line then stays as it is).
std::optional<std::string> SettingsStatusText(int32_t status, int32_t deviceAddress,
                                              bool isEnglish);

}  // namespace kestrane
