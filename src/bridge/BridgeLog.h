// The bridge's log: one line per event on stderr, in a form journald keeps.
// With stderr on a terminal the level is coloured; under systemd (stderr a
// journal stream) each line carries its syslog priority prefix instead.
#pragma once

#include <functional>
#include <string_view>

namespace kestrane::bridge {

enum class LogLevel { kDebug, kInfo, kWarning, kError };

// Lines below this level are dropped; kInfo unless set. Safe from any thread.
void SetBridgeLogLevel(LogLevel lowest);
bool BridgeLogEnabled(LogLevel level);

// Writes one line; line breaks inside `message` become blanks so an event
// never spans two journal entries. Safe from any thread.
void BridgeLog(LogLevel level, std::string_view message);

// Sends every later line (as written to a plain stderr, without the line
// break) to `receiver` instead; an empty function restores stderr. For tests
// that look at what was logged; the receiver runs under the log's lock.
void DivertBridgeLog(std::function<void(std::string_view)> receiver);

}  // namespace kestrane::bridge
