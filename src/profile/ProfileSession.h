// The steps the settings commands take with one controller on the bus master:
// read its settings, compare them with a profile's write images, build and
// send the writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bus/CBusMaster.h"
#include "protocol/ControllerData.h"

namespace kestrane::profile {

// Reads the read cycle of `device`. Empty when every block that the settings
// and the identity come from was decoded; else why not: "no answer", "the
// line was closed", or the blocks with their results, e.g.
// "block 3 (0x0701) rejected".
std::string ReadSettings(CBusMaster& bus, CBusDevice& device);

// ReadSettings asked up to `attempts` times while the line stays open and
// the answer is missing or partial, so one lost reply on a noisy line does
// not end a settings write; the last reason, or empty.
std::string ReadSettingsRetrying(CBusMaster& bus, CBusDevice& device, int attempts = 3);

struct PlannedWrite {
    int code;  // 10-13, or 50 for the battery-type frame
    std::vector<uint8_t> frame;
};

// The requests for the write codes, in order, as the device's write images
// make them; the battery-type frame follows the battery block, as it does
// after the window's SAVE.
std::vector<PlannedWrite> PlanWrites(CBusDevice& device, const std::vector<int>& codes);

// "01 10 01 01 ..."
std::string Hex(const std::vector<uint8_t>& bytes);

// "leadAcid.floatVoltage: 13.8 V → 13.6 V" for each field, the controller's
// value first, then the one of the write images.
std::vector<std::string> DiffLines(const ControllerData& data, const std::vector<size_t>& fields);

// "battery settings (0x0101-0x0108)", the registers of a write code.
std::string BlockName(int code);

}  // namespace kestrane::profile
