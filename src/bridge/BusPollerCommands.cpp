// The control commands of a bus: queued from the broker's thread, carried
// out by the bus thread between device cycles with the same write codes and
// images as the window, and confirmed by reading back.
#include <algorithm>
#include <ctime>
#include <string_view>

#include "bridge/BridgeLog.h"
#include "bridge/BusPoller.h"
#include "bridge/BusPollerSlot.h"
#include "protocol/ClockWrite.h"
#include "protocol/LoadModeCodes.h"

namespace kestrane::bridge {

namespace {

constexpr int kLoadWriteCode = 13;
constexpr int kClockWriteCode = 18;
constexpr int kLoadBlock = 6;
// Light with fixed on-durations needs evening hours, which only the current
// mode code carries: a device in another mode gets this many.
constexpr int32_t kDefaultEveningHours = 4;

constexpr std::string_view kClockUnsynchronisedText =
    "clock not set: this machine's clock is not synchronised with network time yet, so it may "
    "be wrong; try again once it is, or set clock_source = \"local\" in the bridge's config if "
    "a real-time clock keeps it";

struct ChoiceRow {
    LoadModeChoice choice;
    int entry;
    const char* name;
};

constexpr ChoiceRow kChoices[] = {
    {LoadModeChoice::kLight, kLightModeEntry, "Light"},
    {LoadModeChoice::kLightAndTime, kLightTimeModeEntry, "Light&Time"},
    {LoadModeChoice::kDualTimer, kDualTimerModeEntry, "Dual Timer"},
    {LoadModeChoice::kOn, kOnModeEntry, "On"},
    {LoadModeChoice::kOff, kOffModeEntry, "Off"},
};

const ChoiceRow& RowOf(LoadModeChoice choice) {
    for (const ChoiceRow& row : kChoices)
        if (row.choice == choice) return row;
    return kChoices[0];
}

std::string ResultText(const TransactionResult& result) {
    return std::string(BusResultName(result.result));
}

}  // namespace

bool BusPoller::Submit(const DeviceCommand& command) {
    {
        std::lock_guard lock(mutex_);
        const auto found = std::find_if(slots_.begin(), slots_.end(), [&](const auto& slot) {
            return slot->identity.deviceId == command.deviceId;
        });
        if (found == slots_.end() || (command.Writes() && !(*found)->config.allowControl))
            return false;
        commands_.push_back(command);
    }
    wake_.notify_all();
    return true;
}

void BusPoller::RunCommands() {
    for (;;) {
        DeviceCommand command;
        Slot* target = nullptr;
        {
            std::lock_guard lock(mutex_);
            if (commands_.empty() || stop_) return;
            command = commands_.front();
            commands_.pop_front();
            for (auto& slot : slots_)
                if (slot->identity.deviceId == command.deviceId) target = slot.get();
        }
        if (target == nullptr) {
            // Renamed since it was queued: the old id names nobody now.
            sink_.ReportOutcome(
                {command.deviceId, false, "no such device on this bus any more", command.id});
            continue;
        }
        Execute(*target, command);
    }
}

void BusPoller::Execute(Slot& slot, const DeviceCommand& command) {
    heartbeat_.Beat();
    CommandOutcome outcome;
    if (!master_ || slot.device == nullptr || master_->LineClosed()) {
        outcome = {command.deviceId, false, "the bus line is not open"};
    } else if (command.kind == DeviceCommand::Kind::kSetLoadMode) {
        outcome = SetLoadMode(slot, command.loadMode);
    } else if (command.kind == DeviceCommand::Kind::kSetClock) {
        outcome = SetClock(slot);
    } else if (!command.settings) {
        outcome = {command.deviceId, false, "no settings given"};
    } else if (command.kind == DeviceCommand::Kind::kCheckSettings) {
        outcome = CheckSettings(slot, *command.settings);
    } else {
        outcome = ApplySettings(slot, *command.settings);
    }
    outcome.deviceId = command.deviceId;
    outcome.commandId = command.id;
    if (outcome.announce)
        BridgeLog(outcome.ok ? LogLevel::kInfo : LogLevel::kWarning,
                  Label() + ": " + command.deviceId + ": " + outcome.message);
    sink_.ReportOutcome(outcome);
    // A settings write publishes what it read back itself, good or not.
    if (outcome.ok && !command.settings) Publish(slot);
}

CommandOutcome BusPoller::SetLoadMode(Slot& slot, LoadModeChoice choice) {
    const ChoiceRow& row = RowOf(choice);
    const std::string what = std::string("load mode ") + row.name;
    if (!slot.loadBlockRead)
        return {{}, false, what + " refused: the load settings have not been read yet"};
    ControllerData& data = slot.device->State().data;
    CopyLoadSettingsToWrite(data);
    int32_t code = LoadModeCode(row.entry, kDefaultEveningHours);
    if (row.entry == kLightTimeModeEntry && LoadModeEntry(data.loadMode) == kLightTimeModeEntry)
        code = data.loadMode.load();
    data.loadWrite[kLoadModeSlot].store(code);

    const TransactionResult write = master_->Transact(*slot.device, kLoadWriteCode);
    if (write.result != BusResult::kOk)
        return {{},
                false,
                what + " failed: the write was not acknowledged (" + ResultText(write) + ")"};
    const TransactionResult readBack = master_->Transact(*slot.device, kLoadBlock);
    if (readBack.result != BusResult::kOk)
        return {{},
                false,
                what + " not confirmed: the read-back failed (" + ResultText(readBack) + ")"};
    if (data.loadMode.load() != code)
        return {{},
                false,
                what + " not confirmed: the controller reads back mode code " +
                    std::to_string(data.loadMode.load()) + " instead of " + std::to_string(code)};
    return {{}, true, what + " set (mode code " + std::to_string(code) + ")"};
}

CommandOutcome BusPoller::SetClock(Slot& slot) {
    // A clock that network time has not set yet may be days or years off
    // (the time of the last shutdown, or 1970); copied into the controller it
    // would misdate the controller's own day records.
    if (clockSync_ != nullptr && !clockSync_->Synchronised()) {
        CommandOutcome refused{{}, false, std::string(kClockUnsynchronisedText)};
        refused.refusal = CommandOutcome::Refusal::kClockUnsynchronised;
        return refused;
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    FillClockWrite(slot.device->State().data,
                   {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                    local.tm_min, local.tm_sec});
    const TransactionResult write = master_->Transact(*slot.device, kClockWriteCode);
    // The clock registers cannot be read; the controller's echo of the
    // request is the confirmation it gives.
    if (write.result != BusResult::kOk)
        return {
            {}, false, "clock not set: the write was not acknowledged (" + ResultText(write) + ")"};
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return {{}, true, std::string("clock set to ") + text};
}

}  // namespace kestrane::bridge
