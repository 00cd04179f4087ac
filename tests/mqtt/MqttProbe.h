// A second MQTT client for tests, written straight against libmosquitto (not
// through the bridge's own client): subscribes to everything, records every
// message it receives, reconnects after a broker restart, and lets a test
// wait until the messages it expects have arrived.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct mosquitto;
struct mosquitto_message;

namespace kestrane::testing {

struct ProbeMessage {
    std::string topic;
    std::string payload;
    bool retained = false;
};

class MqttProbe {
public:
    explicit MqttProbe(int port, const std::string& user = "", const std::string& password = "");
    ~MqttProbe();
    MqttProbe(const MqttProbe&) = delete;
    MqttProbe& operator=(const MqttProbe&) = delete;

    using Predicate = std::function<bool(const std::vector<ProbeMessage>&)>;
    // Waits until `done` holds for the messages so far; false after `limit`.
    bool WaitFor(const Predicate& done, std::chrono::seconds limit = std::chrono::seconds(20));
    // Waits for a subscription to be in place (after every reconnect).
    bool WaitSubscribed(std::chrono::seconds limit = std::chrono::seconds(20));
    // The newest payload seen on `topic`.
    std::optional<ProbeMessage> Latest(const std::string& topic) const;
    std::vector<ProbeMessage> Messages() const;
    void Forget();  // drops the messages so far

    void Publish(const std::string& topic, const std::string& payload, bool retain = false);

private:
    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnSubscribe(mosquitto*, void* self, int, int, const int*);
    static void OnMessage(mosquitto*, void* self, const mosquitto_message* message);

    mosquitto* mosq_ = nullptr;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<ProbeMessage> messages_;
    bool subscribed_ = false;
};

// How many of `messages` are on `topic`.
int CountOn(const std::vector<ProbeMessage>& messages, const std::string& topic);

}  // namespace kestrane::testing
