// One connection to an MQTT broker, over libmosquitto, with its own network
// thread. Connecting, reconnecting with backoff and the bridge's availability
// (a retained "online" on every connect, "offline" as the last will and before
// a clean disconnect) happen here; callers only publish and subscribe.
//
// No call waits for the network except Stop(): a broker that is down, slow or
// refusing the login never holds up the caller. While the connection is down
// publications are dropped rather than queued, so a broker that comes back
// gets the callers' current values (republished from the connect handler)
// instead of a backlog of old ones.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "bridge/MqttSettings.h"
#include "platform/Heartbeat.h"

struct mosquitto;
struct mosquitto_message;

namespace kestrane::bridge {

struct MqttMessage {
    std::string topic;
    std::string payload;
    bool retained = false;  // sent from the broker's store on subscribing
};

class MqttClient {
public:
    // Both handlers run on the network thread: onConnect after every accepted
    // connect (subscribe and republish there), onMessage for every message of
    // a subscription.
    using ConnectHandler = std::function<void()>;
    using MessageHandler = std::function<void(const MqttMessage&)>;

    MqttClient(MqttSettings settings, ConnectHandler onConnect, MessageHandler onMessage);
    ~MqttClient();  // Stop()
    MqttClient(const MqttClient&) = delete;
    MqttClient& operator=(const MqttClient&) = delete;

    // Starts the network thread, which makes the connection attempts. False,
    // with the reason, when the settings cannot work (an unreadable CA file,
    // a bad port); a broker that is not there yet is no error.
    bool Start(std::string* error);

    // Queues a message for the network thread. False when it was dropped: not
    // connected, or refused by the library.
    bool Publish(const std::string& topic, const std::string& payload, int qos, bool retain);
    bool Subscribe(const std::string& topic, int qos);

    bool Connected() const { return connected_.load(); }
    const std::string& AvailabilityTopic() const { return availabilityTopic_; }
    // The network thread's sign of life for the service watchdog.
    const Heartbeat& ThreadBeat() const { return heartbeat_; }

    // Publishes "offline", waits at most `wait` for the broker to take it,
    // disconnects and joins the network thread. Safe to call more than once.
    void Stop(std::chrono::milliseconds wait = std::chrono::seconds(2));

private:
    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnDisconnect(mosquitto*, void* self, int rc);
    static void OnPublish(mosquitto*, void* self, int mid);
    static void OnMessage(mosquitto*, void* self, const mosquitto_message* message);

    // The network thread: connect, serve the connection, and after any
    // failure (unreachable, refused, lost, a TLS handshake that fails) wait
    // the backoff and connect again, until Stop.
    void Run();
    void ReportFailure(int rc, int savedErrno);
    // Waits up to `time` for Stop; true when Stop came.
    bool WaitForQuit(std::chrono::milliseconds time);
    std::string Where() const;

    const MqttSettings settings_;
    const std::string availabilityTopic_;
    ConnectHandler onConnect_;
    MessageHandler onMessage_;
    mosquitto* mosq_ = nullptr;
    std::thread thread_;
    bool started_ = false;  // touched by the owner's thread only
    std::atomic<bool> connected_{false};
    std::atomic<bool> stopping_{false};            // Stop has begun: no more reconnecting
    std::atomic<bool> connectedThisRound_{false};  // since the last failure
    std::string lastFailure_;                      // network thread only: not logged twice in a row
    Heartbeat heartbeat_;

    // Stop's handshakes with the network thread: the broker's ack of
    // "offline", the end of the connection, the order to quit.
    std::mutex mutex_;
    std::condition_variable changed_;
    int offlineMid_ = -1;
    bool offlineAcked_ = false;
    bool quit_ = false;
};

}  // namespace kestrane::bridge
