// Messages shared by the main window's service buttons, in both languages.
#pragma once

#include "monitor/DisplayText.h"

namespace kestrane {

inline constexpr LanguageText kPortNotOpenText{"Please open the COM port first!", "串口没有打开！"};
inline constexpr LanguageText kMonitorNotStartedText{"Please click [START MONITOR] first!",
                                                     "请先开始监控！"};

}  // namespace kestrane
