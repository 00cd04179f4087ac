// Every controller on one bus, for kestrane-bridge setup: the doctor's
// address search finds the first one and with it the bus's rate (all
// controllers on a line share one), then the other addresses are asked at
// that rate, and each controller found tells its model and serial number.
// Bounded in time, and only ever read requests.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "doctor/AddressSearch.h"

namespace kestrane {

struct FoundController {
    int address = 0;
    std::string model;
    std::string serialNumber;
    std::string firmware;
};

struct BusScanOptions {
    std::string port;  // a device path
    unsigned firstBaud = 9600;
    double budgetSeconds = 60;  // for the whole bus
    bool allAddresses = false;  // false: 1..16 and 247 only
    int probeFloorMs = 40;
};

struct BusScanObserver {
    AddressSearch::ProgressFn progress;                                // before each probe
    std::function<void(unsigned baud, const FoundController&)> found;  // each as it is found
    std::function<bool()> stop;                                        // asked before each probe
};

struct BusScanResult {
    bool opened = false;
    std::string error;  // why the port could not be used
    unsigned baud = 0;  // 0: nothing found
    std::vector<FoundController> controllers;
    int probes = 0;
    double seconds = 0;
    bool budgetSpent = false;  // the time bound ended the search
};

// A name for a controller found: its model and the last four characters of
// its serial number ("KESTRANE-MPPT40A 0042"), "Controller <address>" when
// it did not say.
std::string DefaultControllerName(const FoundController& controller);

BusScanResult ScanBus(const BusScanOptions& options, const BusScanObserver& observer = {});

}  // namespace kestrane
