// Names of the controller's running state and alarm code as the main window
// shows them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrane {

// The running-state name, or nothing for a state without a name (the control
// then keeps whatever it showed).
std::optional<std::string> RunningStateText(uint32_t chargeState, bool english);

// The alarm name of a single known alarm (or of normal operation), otherwise
// the code in upper-case hexadecimal: several alarms at once show as "180".
std::string AlarmText(uint32_t alarmCode, bool english);

// The name of every alarm whose bit is set, lowest bit first; a bit without a
// name as its value in hexadecimal ("400"). Empty in normal operation.
std::vector<std::string> AlarmNames(uint32_t alarmCode, bool english);

// The codes that have a name, in table order: every named running state, and
// normal operation followed by every single alarm bit with a name. For
// readers that list the names (the web page's texts) rather than look one up.
std::vector<uint32_t> NamedRunningStates();
std::vector<uint32_t> NamedAlarmCodes();

}  // namespace kestrane
