#include "bridge/MqttClient.h"

#include <mosquitto.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "bridge/BridgeLog.h"

namespace kestrane::bridge {

namespace {

constexpr char kOnline[] = "online";
constexpr char kOffline[] = "offline";
constexpr int kAvailabilityQos = 1;

void InitLibraryOnce() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
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
    stopping_ = false;
    if (settings_.port < 1 || settings_.port > 65535)
        return fail("port " + std::to_string(settings_.port) + " is out of range 1..65535");
    InitLibraryOnce();
    if (mosq_ == nullptr) {
        mosq_ = mosquitto_new(settings_.clientId.empty() ? nullptr : settings_.clientId.c_str(),
                              true, this);
        if (mosq_ == nullptr) return fail("cannot make a client");
    }
    mosquitto_connect_callback_set(mosq_, &MqttClient::OnConnect);
    mosquitto_disconnect_callback_set(mosq_, &MqttClient::OnDisconnect);
    mosquitto_publish_callback_set(mosq_, &MqttClient::OnPublish);
    mosquitto_message_callback_set(mosq_, &MqttClient::OnMessage);

    int rc = mosquitto_will_set(mosq_, availabilityTopic_.c_str(), sizeof kOffline - 1, kOffline,
                                kAvailabilityQos, true);
    if (rc != MOSQ_ERR_SUCCESS)
        return fail("cannot set the last will: " + std::string(mosquitto_strerror(rc)));
    if (!settings_.username.empty()) {
        rc = mosquitto_username_pw_set(
            mosq_, settings_.username.c_str(),
            settings_.password.empty() ? nullptr : settings_.password.c_str());
        if (rc != MOSQ_ERR_SUCCESS)
            return fail("cannot set the login: " + std::string(mosquitto_strerror(rc)));
    }
    if (!settings_.tlsCaFile.empty()) {
        rc = mosquitto_tls_set(mosq_, settings_.tlsCaFile.c_str(), nullptr, nullptr, nullptr,
                               nullptr);
        if (rc != MOSQ_ERR_SUCCESS)
            return fail("cannot use the CA file " + settings_.tlsCaFile + ": " +
                        mosquitto_strerror(rc));
    }
    mosquitto_reconnect_delay_set(mosq_, static_cast<unsigned>(settings_.reconnectMinS),
                                  static_cast<unsigned>(settings_.reconnectMaxS), true);

    // The network thread first: a first attempt that fails (no broker yet)
    // then leaves it retrying with backoff, where it would otherwise give up.
    rc = mosquitto_loop_start(mosq_);
    if (rc != MOSQ_ERR_SUCCESS)
        return fail("cannot start the network thread: " + std::string(mosquitto_strerror(rc)));
    started_ = true;
    rc =
        mosquitto_connect_async(mosq_, settings_.host.c_str(), settings_.port, settings_.keepalive);
    if (rc == MOSQ_ERR_INVAL) {
        Stop();
        return fail("cannot connect to " + Where() + ": invalid settings");
    }
    return true;
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
    if (connected_.load()) {
        std::unique_lock lock(offlineMutex_);
        offlineDone_ = false;
        int mid = -1;
        if (mosquitto_publish(mosq_, &mid, availabilityTopic_.c_str(), sizeof kOffline - 1,
                              kOffline, kAvailabilityQos, true) == MOSQ_ERR_SUCCESS) {
            offlineMid_ = mid;
            if (!offlineAcked_.wait_for(lock, wait, [&] { return offlineDone_; }))
                BridgeLog(LogLevel::kWarning,
                          "mqtt: broker " + Where() + " did not confirm \"offline\" in time");
        }
    }
    mosquitto_disconnect(mosq_);
    mosquitto_loop_stop(mosq_, false);
    connected_ = false;
    started_ = false;
}

void MqttClient::OnConnect(mosquitto*, void* self, int rc) {
    auto& client = *static_cast<MqttClient*>(self);
    if (rc != 0) {
        // The broker answered but refused: a wrong login, an unknown client
        // id, a protocol it does not speak. The library tries again later.
        BridgeLog(LogLevel::kError, "mqtt: broker " + client.Where() + " refused the connection" +
                                        (client.settings_.username.empty()
                                             ? std::string()
                                             : " of user \"" + client.settings_.username + "\"") +
                                        ": " + mosquitto_connack_string(rc) +
                                        "; retrying with backoff");
        client.reportedUnreachable_ = true;  // the disconnect that follows is no news
        return;
    }
    client.connected_ = true;
    client.reportedUnreachable_ = false;
    BridgeLog(LogLevel::kInfo, "mqtt: connected to " + client.Where());
    // The broker handles one client's packets in order: once "online" is out,
    // the handler's subscriptions are in place.
    if (client.onConnect_) client.onConnect_();
    mosquitto_publish(client.mosq_, nullptr, client.availabilityTopic_.c_str(), sizeof kOnline - 1,
                      kOnline, kAvailabilityQos, true);
}

void MqttClient::OnDisconnect(mosquitto*, void* self, int rc) {
    auto& client = *static_cast<MqttClient*>(self);
    const bool wasConnected = client.connected_.exchange(false);
    if (rc == 0 || client.stopping_.load()) return;
    if (wasConnected) {
        BridgeLog(LogLevel::kWarning, "mqtt: lost the connection to " + client.Where() + " (" +
                                          mosquitto_strerror(rc) + "); reconnecting with backoff");
        client.reportedUnreachable_ = true;
    } else if (!client.reportedUnreachable_.exchange(true)) {
        // Once per outage, not once per attempt.
        BridgeLog(LogLevel::kWarning,
                  "mqtt: broker " + client.Where() + " not reachable (" +
                      (rc == MOSQ_ERR_ERRNO ? std::string(std::strerror(errno))
                                            : std::string(mosquitto_strerror(rc))) +
                      "); retrying with backoff");
    }
}

void MqttClient::OnPublish(mosquitto*, void* self, int mid) {
    auto& client = *static_cast<MqttClient*>(self);
    const std::lock_guard lock(client.offlineMutex_);
    if (mid == client.offlineMid_) {
        client.offlineDone_ = true;
        client.offlineAcked_.notify_all();
    }
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
