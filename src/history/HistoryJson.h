// The history store's answers as JSON, in the one form the command line and
// the web page both give them.
#pragma once

#include <vector>

#include <nlohmann/json.hpp>

#include "history/HistoryStore.h"

namespace kestrane {

// {"days": [{"date", "has_data", "charged_wh", "used_wh", "peak_charge_w",
//  "peak_load_w", "min_battery_v", "max_battery_v"}]}
nlohmann::json DaysJson(const std::vector<StoredDay>& days);

}  // namespace kestrane
