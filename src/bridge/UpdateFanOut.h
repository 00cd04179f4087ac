// Hands every update to several sinks in turn: the JSON-lines writer and the
// MQTT publisher see the same updates in the same order.
#pragma once

#include <vector>

#include "bridge/BridgeLink.h"

namespace kestrane::bridge {

class UpdateFanOut : public IUpdateSink {
public:
    // Not owned; must outlive the bus threads. Add before they start.
    void Add(IUpdateSink* sink) {
        if (sink != nullptr) sinks_.push_back(sink);
    }
    void Publish(const DeviceUpdate& update) override {
        for (IUpdateSink* sink : sinks_)
            sink->Publish(update);
    }
    void ReportOutcome(const CommandOutcome& outcome) override {
        for (IUpdateSink* sink : sinks_)
            sink->ReportOutcome(outcome);
    }
    void Renamed(const std::string& oldId, const DeviceIdentity& now) override {
        for (IUpdateSink* sink : sinks_)
            sink->Renamed(oldId, now);
    }

private:
    std::vector<IUpdateSink*> sinks_;
};

}  // namespace kestrane::bridge
