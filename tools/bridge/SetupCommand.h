// kestrane-bridge setup: from an installed package to a checked
// configuration. Lists the serial ports, searches the chosen ones for
// controllers (reading only), asks for names, control, the web page and
// MQTT, writes the configuration (never over an existing one without
// --force), checks it as --check-config does and says how to start the
// service.
#pragma once

#include "SetupOptions.h"

namespace kestrane::bridge {

inline constexpr int kSetupWritten = 0;
inline constexpr int kSetupFailed = 1;        // not written, or written but not valid
inline constexpr int kSetupNotDone = 2;       // the file exists, bad options, no answers
inline constexpr int kSetupNoController = 3;  // nothing written

int RunSetup(SetupOptions options);

}  // namespace kestrane::bridge
