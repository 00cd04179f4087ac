// A text of the service functions in its two languages, and the rule that
// picks one: English only when the language setting is exactly "ENGLISH".
#pragma once

#include <string>

#include "protocol/SharedState.h"

namespace kestrane {

struct ServiceText {
    const char* english;
    const char* chinese;
};

inline std::string Pick(const SharedState& shared, const ServiceText& text) {
    return shared.IsEnglish() ? text.english : text.chinese;
}

// Messages shared by the main window's service buttons.
inline constexpr ServiceText kPortNotOpenText{"Please open the COM port first!", "串口没有打开！"};
inline constexpr ServiceText kMonitorNotStartedText{"Please click [START MONITOR] first!",
                                                    "请先开始监控！"};

}  // namespace kestrane
