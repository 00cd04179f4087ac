// The texts the web page shows in the window's words, in English and
// Chinese, as GET /api/v1/texts returns them. Built from the window's own
// tables so the page and the window never name a state differently.
#pragma once

#include <nlohmann/json.hpp>

namespace kestrane::web {

// {"en": T, "zh": T}, T = {
//   "charge_state": {"<code>": name},  every named running state
//   "alarm": {"<code>": name},         normal operation (0) and every single alarm bit
//   "load_mode": {"<option>": name},   the bridge's five options, named as the window's list
//   "battery_type": {"<code>": name},
//   "groups": {"running", "realtime", "battery", "load", "energy", "identity": title},
//   "fields": {"<key>": the window's caption without its colon}}, for keys of
//              the state and identity objects and paths of the settings profile
nlohmann::json UiTexts();

// A caption of the window as a label: the trailing colon (ASCII or full
// width, or the odd semicolon) and surrounding spaces taken off, inner runs
// of spaces made one. "Day   CHG:" becomes "Day CHG".
std::string CaptionAsLabel(std::string_view caption);

}  // namespace kestrane::web
