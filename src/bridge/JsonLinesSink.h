// Writes every device update as one JSON line, for jq, Telegraf or Vector:
// {"device": id, "name", "bus", "address", "online", "state", "link"}.
// Command outcomes and renames are events of the log, not of this stream.
#pragma once

#include <cstdio>
#include <mutex>

#include "bridge/BridgeLink.h"

namespace kestrane::bridge {

class JsonLinesSink : public IUpdateSink {
public:
    explicit JsonLinesSink(std::FILE* out) : out_(out) {}

    void Publish(const DeviceUpdate& update) override;
    void ReportOutcome(const CommandOutcome&) override {}
    void Renamed(const std::string&, const DeviceIdentity&) override {}

    // The line of one update, without its line break.
    static std::string Line(const DeviceUpdate& update);

private:
    std::FILE* out_;
    std::mutex mutex_;  // one line at a time from every bus thread
};

}  // namespace kestrane::bridge
