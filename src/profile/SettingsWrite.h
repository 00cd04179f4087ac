// The write sequence every settings change takes with one controller, shared
// by `kestrane-cli settings apply` and the bridge: what will be written, the
// backup before, the writes in the window's order, and the read-back after.
#pragma once

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bus/CBusMaster.h"
#include "profile/ProfileSession.h"
#include "protocol/ControllerData.h"

namespace kestrane::profile {

// One field that a write changes, as the controller has it and as it will be.
struct FieldChange {
    size_t field;          // index in kProfileFields
    std::string from, to;  // "13.8 V", "Light Mode"
};

// The fields' changes; the controller's value first, then the write images'.
std::vector<FieldChange> FieldChanges(const ControllerData& data,
                                      const std::vector<size_t>& fields);

// One planned write with what it changes, for showing before writing.
struct WritePreview {
    PlannedWrite write;
    std::string block;  // BlockName(write.code)
    std::vector<FieldChange> changes;
};

// The writes the device's filled images make, in order, each with the
// differing fields its block carries (none for the battery-type frame).
std::vector<WritePreview> PreviewWrites(CBusDevice& device);

// Saves the controller's settings as read into `data` as a profile in
// `directory` before anything is written; the file's path, or nothing with
// the reason in `error`.
std::optional<std::string> BackupSettings(const std::string& directory, const ControllerData& data,
                                          std::time_t now, std::string& error);

// Called with each write's answer as it comes.
using WriteReport = std::function<void(const PlannedWrite&, const TransactionResult&)>;

// Sends the writes in order until a settings block is not acknowledged. The
// battery-type frame is sent as the window sends it and its answer decides
// nothing: the read-back does. `between` runs after every write but the last
// (the bridge serves the bus's other controllers there). Empty when every
// block was acknowledged, else what failed: "writing load control
// (0x010A-0x0113) failed: exception (exception code 4)".
std::string SendPlannedWrites(CBusMaster& bus, CBusDevice& device,
                              const std::vector<PlannedWrite>& writes, const WriteReport& report,
                              const std::function<void()>& between = {});

// Reads the settings back after writing: the fields that do not hold what
// the images say, or nothing with the reason in `missing` when they could
// not be read.
std::optional<std::vector<size_t>> ReadBackDifferences(CBusMaster& bus, CBusDevice& device,
                                                       std::string& missing);

}  // namespace kestrane::profile
