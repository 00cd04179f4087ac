// What the bridge's MQTT tests share: a broker per test, a record of the
// bridge's log lines, a command sink that only records, and updates as the
// bus side would send them.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "bridge/BridgeLink.h"
#include "bridge/MqttSettings.h"
#include "mqtt/MosquittoBroker.h"
#include "mqtt/MqttProbe.h"

namespace kestrane::testing {

// Collects BridgeLog lines for as long as it lives.
class LogRecord {
public:
    LogRecord();
    ~LogRecord();
    // Waits until at least `count` lines contain `text`.
    bool WaitFor(const std::string& text, int count = 1,
                 std::chrono::seconds limit = std::chrono::seconds(20));
    std::string All() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> lines_;
};

class RecordingCommandSink : public bridge::ICommandSink {
public:
    bool Submit(const bridge::DeviceCommand& command) override;
    bool WaitForCount(size_t count, std::chrono::seconds limit = std::chrono::seconds(20));
    std::vector<bridge::DeviceCommand> Commands() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<bridge::DeviceCommand> commands_;
};

bridge::DeviceIdentity Identity(const std::string& deviceId, bool allowControl = false);
// An online device whose state carries `pvVoltage`, with a link object.
bridge::DeviceUpdate Update(const bridge::DeviceIdentity& identity, double pvVoltage,
                            bool online = true);

// A test with its own broker, started before the test body.
class BrokerTest : public ::testing::Test {
protected:
    void SetUp() override;
    bridge::MqttSettings Settings() const;

    // True once `probe` has seen every discovery config of `identity` (non
    // empty) since it last forgot.
    static bool HasAllConfigs(const std::vector<ProbeMessage>& messages,
                              const bridge::DeviceIdentity& identity);
    static bool Has(const std::vector<ProbeMessage>& messages, const std::string& topic,
                    const std::string& payload);
    // True when the newest message on `topic` is `payload`.
    static bool Says(const std::vector<ProbeMessage>& messages, const std::string& topic,
                     const std::string& payload);

    MosquittoBroker broker_;
};

}  // namespace kestrane::testing
