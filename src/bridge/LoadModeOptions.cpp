#include "bridge/LoadModeOptions.h"

namespace kestrane::bridge {

std::optional<LoadModeChoice> ParseLoadModeOption(std::string_view text) {
    for (const LoadModeOption& option : kLoadModeOptions)
        if (option.text == text) return option.choice;
    return std::nullopt;
}

}  // namespace kestrane::bridge
