#include "mqtt/MqttProbe.h"

#include <mosquitto.h>

#include <algorithm>

namespace kestrane::testing {

MqttProbe::MqttProbe(int port, const std::string& user, const std::string& password) {
    mosquitto_lib_init();
    mosq_ = mosquitto_new(nullptr, true, this);
    mosquitto_connect_callback_set(mosq_, &MqttProbe::OnConnect);
    mosquitto_subscribe_callback_set(mosq_, &MqttProbe::OnSubscribe);
    mosquitto_message_callback_set(mosq_, &MqttProbe::OnMessage);
    if (!user.empty()) mosquitto_username_pw_set(mosq_, user.c_str(), password.c_str());
    mosquitto_reconnect_delay_set(mosq_, 1, 1, false);
    mosquitto_connect_async(mosq_, "127.0.0.1", port, 30);
    mosquitto_loop_start(mosq_);
}

MqttProbe::~MqttProbe() {
    mosquitto_disconnect(mosq_);
    mosquitto_loop_stop(mosq_, false);
    mosquitto_destroy(mosq_);
}

void MqttProbe::OnConnect(mosquitto* mosq, void* self, int rc) {
    if (rc != 0) return;
    auto& probe = *static_cast<MqttProbe*>(self);
    {
        const std::lock_guard lock(probe.mutex_);
        probe.subscribed_ = false;
    }
    mosquitto_subscribe(mosq, nullptr, "#", 1);
}

void MqttProbe::OnSubscribe(mosquitto*, void* self, int, int, const int*) {
    auto& probe = *static_cast<MqttProbe*>(self);
    const std::lock_guard lock(probe.mutex_);
    probe.subscribed_ = true;
    probe.changed_.notify_all();
}

void MqttProbe::OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto& probe = *static_cast<MqttProbe*>(self);
    ProbeMessage copy{message->topic, "", message->retain};
    if (message->payloadlen > 0)
        copy.payload.assign(static_cast<const char*>(message->payload),
                            static_cast<size_t>(message->payloadlen));
    const std::lock_guard lock(probe.mutex_);
    probe.messages_.push_back(std::move(copy));
    probe.changed_.notify_all();
}

bool MqttProbe::WaitFor(const Predicate& done, std::chrono::seconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return done(messages_); });
}

bool MqttProbe::WaitSubscribed(std::chrono::seconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return subscribed_; });
}

std::optional<ProbeMessage> MqttProbe::Latest(const std::string& topic) const {
    const std::lock_guard lock(mutex_);
    const auto found = std::find_if(messages_.rbegin(), messages_.rend(),
                                    [&](const ProbeMessage& m) { return m.topic == topic; });
    if (found == messages_.rend()) return std::nullopt;
    return *found;
}

std::vector<ProbeMessage> MqttProbe::Messages() const {
    const std::lock_guard lock(mutex_);
    return messages_;
}

void MqttProbe::Forget() {
    const std::lock_guard lock(mutex_);
    messages_.clear();
}

void MqttProbe::Publish(const std::string& topic, const std::string& payload, bool retain) {
    mosquitto_publish(mosq_, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                      payload.data(), 1, retain);
}

int CountOn(const std::vector<ProbeMessage>& messages, const std::string& topic) {
    return static_cast<int>(std::count_if(messages.begin(), messages.end(),
                                          [&](const ProbeMessage& m) { return m.topic == topic; }));
}

}  // namespace kestrane::testing
