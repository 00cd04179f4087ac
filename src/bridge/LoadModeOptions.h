// The load modes a person can pick from Home Assistant, by the text of each
// option.
#pragma once

#include <optional>
#include <string_view>

#include "bridge/BridgeLink.h"

namespace kestrane::bridge {

struct LoadModeOption {
    std::string_view text;
    LoadModeChoice choice;
};

inline constexpr LoadModeOption kLoadModeOptions[] = {
    {"Light", LoadModeChoice::kLight},
    {"Light&Time", LoadModeChoice::kLightAndTime},
    {"Dual Timer", LoadModeChoice::kDualTimer},
    {"On", LoadModeChoice::kOn},
    {"Off", LoadModeChoice::kOff},
};

// The choice named by `text` exactly (case and spaces as in the options);
// nullopt for anything else.
std::optional<LoadModeChoice> ParseLoadModeOption(std::string_view text);

}  // namespace kestrane::bridge
