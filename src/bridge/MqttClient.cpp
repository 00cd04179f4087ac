#include "bridge/MqttClient.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "bridge/BridgeLog.h"

namespace kestrane::bridge {

namespace {

constexpr char kOnline[] = "online";
constexpr char kOffline[] = "offline";
constexpr int kAvailabilityQos = 1;
// How long one pass of the network loop may wait for the socket. Publishing
// and Stop wake it at once; this only bounds a connect still in progress.
constexpr int kLoopTimeoutMs = 1000;

void InitLibraryOnce() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

std::string Reason(int rc, int savedErrno) {
    return rc == MOSQ_ERR_ERRNO ? std::string(std::strerror(savedErrno))
                                : std::string(mosquitto_strerror(rc));
}

}  // namespace

MqttClient::MqttClient(MqttSettings settings, ConnectHandler onConnect, MessageHandler onMessage)
    : settings_(std::move(settings)),
      availabilityTopic_(settings_.topicPrefix + "/bridge/availability"),
      onConnect_(std::move(onConnect)),
      onMessage_(std::move(onMessage)) {}

MqttClient::~MqttClient() {
    Stop();
    if (mosq_ != nullptr) mosquitto_destroy(mosq_);
}

std::string MqttClient::Where() const {
    return settings_.host + ":" + std::to_string(settings_.port);
}

bool MqttClient::Start(std::string* error) {
    auto fail = [&](const std::string& reason) {
        if (error != nullptr) *error = "mqtt: " + reason;
        return false;
    };
    if (started_) return true;
    if (settings_.port < 1 || settings_.port > 65535)
        return fail("port " + std::to_string(settings_.port) + " is out of range 1..65535");
    if (settings_.host.empty()) return fail("no broker host");
    InitLibraryOnce();
    if (mosq_ == nullptr) {
        mosq_ = mosquitto_new(settings_.clientId.empty() ? nullptr : settings_.clientId.c_str(),
                              true, this);
        if (mosq_ == nullptr) return fail("cannot make a client");
    }
    // Our own thread runs the network loop (not the library's), so that every
    // failure, a TLS handshake included, ends in a retry rather than in a
    // thread that quietly gave up.
    mosquitto_threaded_set(mosq_, true);
    mosquitto_connect_callback_set(mosq_, &MqttClient::OnConnect);
    mosquitto_disconnect_callback_set(mosq_, &MqttClient::OnDisconnect);
    mosquitto_publish_callback_set(mosq_, &MqttClient::OnPublish);
    mosquitto_message_callback_set(mosq_, &MqttClient::OnMessage);

    int rc = mosquitto_will_set(mosq_, availabilityTopic_.c_str(), sizeof kOffline - 1, kOffline,
                                kAvailabilityQos, true);
    if (rc != MOSQ_ERR_SUCCESS) return fail("cannot set the last will: " + Reason(rc, errno));
    if (!settings_.username.empty()) {
        rc = mosquitto_username_pw_set(
            mosq_, settings_.username.c_str(),
            settings_.password.empty() ? nullptr : settings_.password.c_str());
        if (rc != MOSQ_ERR_SUCCESS) return fail("cannot set the login: " + Reason(rc, errno));
    }
    if (!settings_.tlsCaFile.empty()) {
        rc = mosquitto_tls_set(mosq_, settings_.tlsCaFile.c_str(), nullptr, nullptr, nullptr,
                               nullptr);
        if (rc != MOSQ_ERR_SUCCESS)
            return fail("cannot use the CA file " + settings_.tlsCaFile + ": " + Reason(rc, errno));
    }
    stopping_ = false;
    quit_ = false;
    thread_ = std::thread([this] { Run(); });
    started_ = true;
    return true;
}

void MqttClient::Run() {
    const std::chrono::milliseconds shortest = std::chrono::seconds(settings_.reconnectMinS),
                                    longest = std::chrono::seconds(settings_.reconnectMaxS);
    std::chrono::milliseconds backoff = shortest;
    bool first = true;
    while (!WaitForQuit(std::chrono::milliseconds(0))) {
        heartbeat_.Beat();
        if (stopping_.load()) {
            heartbeat_.BeatFor(std::chrono::hours(24));
            WaitForQuit(std::chrono::hours(24));
            continue;
        }
        connectedThisRound_ = false;
        int rc = first ? mosquitto_connect_async(mosq_, settings_.host.c_str(), settings_.port,
                                                 settings_.keepalive)
                       : mosquitto_reconnect_async(mosq_);
        first = false;
        while (rc == MOSQ_ERR_SUCCESS) {
            heartbeat_.Beat();
            rc = mosquitto_loop(mosq_, kLoopTimeoutMs, 1);
        }
        const int savedErrno = errno;
        connected_ = false;
        if (stopping_.load()) continue;  // Stop disconnected us: no failure
        if (connectedThisRound_.load()) backoff = shortest;
        ReportFailure(rc, savedErrno);
        heartbeat_.BeatFor(backoff);
        if (WaitForQuit(backoff)) break;
        backoff = std::min(backoff * 2, longest);
    }
}

void MqttClient::ReportFailure(int rc, int savedErrno) {
    // A refusal and a lost connection were logged by their callbacks.
    if (rc == MOSQ_ERR_CONN_REFUSED || connectedThisRound_.load()) return;
    std::string reason = Reason(rc, savedErrno);
    if (rc == MOSQ_ERR_TLS)
        reason += " (does tls_ca_file hold the CA of the broker's certificate?)";
    if (reason == lastFailure_) return;  // once per outage, not once per attempt
    lastFailure_ = reason;
    BridgeLog(LogLevel::kWarning,
              "mqtt: cannot connect to " + Where() + ": " + reason + "; retrying with backoff");
}

bool MqttClient::WaitForQuit(std::chrono::milliseconds time) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, time, [&] { return quit_; });
}

bool MqttClient::Publish(const std::string& topic, const std::string& payload, int qos,
                         bool retain) {
    if (!connected_.load() || mosq_ == nullptr) return false;
    return mosquitto_publish(mosq_, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                             payload.data(), qos, retain) == MOSQ_ERR_SUCCESS;
}

bool MqttClient::Subscribe(const std::string& topic, int qos) {
    if (mosq_ == nullptr) return false;
    return mosquitto_subscribe(mosq_, nullptr, topic.c_str(), qos) == MOSQ_ERR_SUCCESS;
}

void MqttClient::Stop(std::chrono::milliseconds wait) {
    if (!started_) return;
    stopping_ = true;
    {
        std::unique_lock lock(mutex_);
        int mid = -1;
        if (connected_.load() &&
            mosquitto_publish(mosq_, &mid, availabilityTopic_.c_str(), sizeof kOffline - 1,
                              kOffline, kAvailabilityQos, true) == MOSQ_ERR_SUCCESS) {
            offlineMid_ = mid;
            offlineAcked_ = false;
            if (!changed_.wait_for(lock, wait, [&] { return offlineAcked_; }))
                BridgeLog(LogLevel::kWarning,
                          "mqtt: broker " + Where() + " did not confirm \"offline\" in time");
        }
        // The network thread sends the DISCONNECT and closes; then it quits.
        if (mosquitto_disconnect(mosq_) == MOSQ_ERR_SUCCESS)
            changed_.wait_for(lock, wait, [&] { return !connected_.load(); });
        quit_ = true;
    }
    changed_.notify_all();
    thread_.join();
    connected_ = false;
    started_ = false;
}

void MqttClient::OnConnect(mosquitto*, void* self, int rc) {
    auto& client = *static_cast<MqttClient*>(self);
    if (rc != 0) {
        // The broker answered but refused: a wrong login, an unknown client
        // id, a protocol it does not speak.
        BridgeLog(LogLevel::kError, "mqtt: broker " + client.Where() + " refused the connection" +
                                        (client.settings_.username.empty()
                                             ? std::string()
                                             : " of user \"" + client.settings_.username + "\"") +
                                        ": " + mosquitto_connack_string(rc) +
                                        "; retrying with backoff");
        return;
    }
    client.connected_ = true;
    client.connectedThisRound_ = true;
    client.lastFailure_.clear();
    BridgeLog(LogLevel::kInfo, "mqtt: connected to " + client.Where());
    // The broker handles one client's packets in order: once "online" is out,
    // the handler's subscriptions are in place.
    if (client.onConnect_) client.onConnect_();
    mosquitto_publish(client.mosq_, nullptr, client.availabilityTopic_.c_str(), sizeof kOnline - 1,
                      kOnline, kAvailabilityQos, true);
}

void MqttClient::OnDisconnect(mosquitto*, void* self, int rc) {
    auto& client = *static_cast<MqttClient*>(self);
    bool wasConnected = false;
    {
        const std::lock_guard lock(client.mutex_);
        wasConnected = client.connected_.exchange(false);
    }
    client.changed_.notify_all();
    if (rc != 0 && wasConnected && !client.stopping_.load())
        BridgeLog(LogLevel::kWarning, "mqtt: lost the connection to " + client.Where() + " (" +
                                          mosquitto_strerror(rc) + "); reconnecting with backoff");
}

void MqttClient::OnPublish(mosquitto*, void* self, int mid) {
    auto& client = *static_cast<MqttClient*>(self);
    {
        const std::lock_guard lock(client.mutex_);
        if (mid != client.offlineMid_) return;
        client.offlineAcked_ = true;
    }
    client.changed_.notify_all();
}

void MqttClient::OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto& client = *static_cast<MqttClient*>(self);
    if (!client.onMessage_ || message == nullptr || message->topic == nullptr) return;
    MqttMessage copy;
    copy.topic = message->topic;
    if (message->payload != nullptr && message->payloadlen > 0)
        copy.payload.assign(static_cast<const char*>(message->payload),
                            static_cast<size_t>(message->payloadlen));
    copy.retained = message->retain;
    client.onMessage_(copy);
}

}  // namespace kestrane::bridge
