#include "profile/ProfileSession.h"

#include <cstdio>

#include "profile/ProfileEncoder.h"
#include "profile/SettingsWrite.h"
#include "protocol/RegisterMap.h"

namespace kestrane::profile {

namespace {

// Battery, lithium, lead-acid, identity and load blocks.
constexpr int kNeededBlocks[] = {1, 2, 3, 5, 6};
constexpr uint8_t kWriteSingleFunction = 6;
constexpr uint8_t kWriteMultipleFunction = 16;

}  // namespace

std::string ReadSettings(CBusMaster& bus, CBusDevice& device) {
    const CycleResult cycle = bus.ReadCycle(device);
    if (cycle.lineClosed) return "the line was closed";
    // A controller silent on the first block is not asked for the others.
    if (!cycle.decoded[0] && !cycle.asked[1]) return "no answer";
    std::string missing;
    for (int code : kNeededBlocks) {
        const auto block = static_cast<size_t>(code);
        if (cycle.decoded[block]) continue;
        char name[64];
        std::snprintf(name, sizeof name, "%s%d (0x%04X) %s", missing.empty() ? "" : ", ", code,
                      static_cast<unsigned>(ReadBlockFor(code)->startRegister),
                      std::string(BusResultName(cycle.results[block])).c_str());
        missing += name;
    }
    return missing.empty() ? missing : "block " + missing;
}

std::string ReadSettingsRetrying(CBusMaster& bus, CBusDevice& device, int attempts) {
    std::string missing;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        missing = ReadSettings(bus, device);
        if (missing.empty() || bus.LineClosed()) break;
    }
    return missing;
}

std::vector<PlannedWrite> PlanWrites(CBusDevice& device, const std::vector<int>& codes) {
    std::vector<PlannedWrite> writes;
    CModbusFrame& frame = device.Frame();
    const auto add = [&](int code, uint8_t function) {
        frame.ClearRequest();
        frame.BuildWriteRequest(device.Address(), function, code);
        writes.push_back({code, {frame.Request(), frame.Request() + frame.RequestLength()}});
    };
    for (int code : codes) {
        const auto block = WriteBlockFor(code);
        if (!block) continue;
        add(code, block->singleRegister ? kWriteSingleFunction : kWriteMultipleFunction);
        if (code == 10) add(kBatteryTypeFrameCode, kWriteMultipleFunction);
    }
    frame.ClearRequest();
    return writes;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    for (const uint8_t byte : bytes) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%s%02X", text.empty() ? "" : " ", byte);
        text += pair;
    }
    return text;
}

std::vector<std::string> DiffLines(const ControllerData& data, const std::vector<size_t>& fields) {
    std::vector<std::string> lines;
    for (const FieldChange& change : FieldChanges(data, fields))
        lines.push_back(std::string(kProfileFields[change.field].path) + ": " + change.from +
                        " → " + change.to);
    return lines;
}

std::string BlockName(int code) {
    if (code == kBatteryTypeFrameCode) return "battery-type frame (0xAA)";
    const auto block = WriteBlockFor(code);
    if (!block) return "code " + std::to_string(code);
    const char* names[] = {"battery settings", "lead-acid protection", "lithium voltages",
                           "load control"};
    char text[96];
    std::snprintf(text, sizeof text, "%s (0x%04X-0x%04X)",
                  code >= 10 && code <= 13 ? names[code - 10] : "registers",
                  static_cast<unsigned>(block->startRegister),
                  static_cast<unsigned>(block->startRegister + block->registerCount - 1));
    return text;
}

}  // namespace kestrane::profile
