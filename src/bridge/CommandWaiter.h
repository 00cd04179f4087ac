// Runs a control command for a caller that waits for its outcome (the web
// page): gives the command an id, queues it with the buses and waits until
// the bus thread reports how it ended, or until a bound passes. Fed the
// outcomes from the bridge's update fan-out.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>

#include "bridge/BridgeLink.h"

namespace kestrane::bridge {

class CommandWaiter : public IUpdateSink {
public:
    explicit CommandWaiter(ICommandSink& commands) : commands_(commands) {}

    // The outcome; nothing when the buses refused the command (unknown
    // device, control not allowed) — `*queued` says which — or when no
    // outcome came within `bound`.
    std::optional<CommandOutcome> Run(DeviceCommand command, std::chrono::milliseconds bound,
                                      bool* queued);

    void Publish(const DeviceUpdate&) override {}
    void ReportOutcome(const CommandOutcome& outcome) override;
    void Renamed(const std::string&, const DeviceIdentity&) override {}

private:
    ICommandSink& commands_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    uint64_t nextId_ = 1;
    std::map<uint64_t, std::optional<CommandOutcome>> waiting_;
};

}  // namespace kestrane::bridge
