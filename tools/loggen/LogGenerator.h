// Writes days of event log with the program's own log writer, as a monitor
// that ran without a break would have: a record every 55 s (or any other
// interval), a plausible day of sun, battery and lamp, optional link
// drop-outs and one alarm a day. For the history benchmarks and the viewer's
// tests.
#pragma once

#include <string>

#include "platform/LocalClock.h"

namespace kestrane::loggen {

struct LogGeneratorOptions {
    std::string folder;
    LocalTime first;  // date of the first day (the time is ignored)
    int days = 1;
    int intervalSeconds = 55;
    unsigned seed = 1;
    // The link is down for about 15 minutes at 06:00 and at 18:00, and the
    // battery reports Bat_V_Low for a few records at 05:00.
    bool withFaults = true;
};

// Returns the number of record lines written (header lines not counted).
long GenerateLogs(const LogGeneratorOptions& options);

}  // namespace kestrane::loggen
