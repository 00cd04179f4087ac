// What a bus thread keeps of each configured device between cycles. Private
// to BusPoller's files.
#pragma once

#include <chrono>

#include <nlohmann/json.hpp>

#include "bridge/BridgeConfig.h"
#include "bridge/BridgeLink.h"
#include "bridge/BusPoller.h"
#include "bus/CBusDevice.h"

namespace kestrane::bridge {

struct BusPoller::Slot {
    DeviceConfig config;
    DeviceIdentity identity;       // written by the bus thread under the poller's mutex
    CBusDevice* device = nullptr;  // owned by the master of the open line
    LinkCounters carried;          // of the lines lost before the current one
    bool online = false;
    int failedCycles = 0;
    std::chrono::milliseconds backoff{0};
    SteadyTime nextProbe{};
    bool loadBlockRead = false;  // block 0x0401 decoded since the line was opened
    double lastCycleMs = 0;
    bool idConflictReported = false;
    nlohmann::json state;             // of the last good cycle; null before one
    std::string logValues;            // the log record's values of the last good cycle
    unsigned settingsBlocksRead = 0;  // bits of the settings blocks read since the line opened
    nlohmann::json settings;          // the profile object of the last full settings read
    std::string settingsReadAt;
};

// "sn-<serial>" with the serial reduced to [a-z0-9_-]; empty when nothing is left.
std::string SerialDeviceId(const std::string& serialNumber);
// "bus<index>-addr<address>".
std::string BusDeviceId(int busIndex, uint8_t address);

}  // namespace kestrane::bridge
