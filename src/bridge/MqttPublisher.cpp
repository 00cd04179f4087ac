#include "bridge/MqttPublisher.h"

#include "bridge/BridgeLog.h"
#include "bridge/LoadModeOptions.h"
#include "bridge/MqttJson.h"

namespace kestrane::bridge {

namespace {

// Discovery and availability are rare and must arrive. States go out at QoS
// 0: the library never keeps one to send again after a reconnect, so a broker
// that comes back gets the current state (republished on connect) and no
// backlog of old ones; a lost state is replaced by the next cycle's.
constexpr int kRetainedQos = 1;
constexpr int kStateQos = 0;
constexpr int kCommandQos = 1;

bool SameIdentity(const DeviceIdentity& a, const DeviceIdentity& b) {
    return a.deviceId == b.deviceId && a.name == b.name && a.model == b.model &&
           a.serialNumber == b.serialNumber && a.firmware == b.firmware &&
           a.allowControl == b.allowControl;
}

// A device id becomes one topic level: no separators, no wildcards.
bool UsableId(const std::string& id) {
    return !id.empty() && id.find_first_of("/+#") == std::string::npos;
}

std::string_view KindName(DeviceCommand::Kind kind) {
    return kind == DeviceCommand::Kind::kSetClock ? "clock" : "load mode";
}

// A payload from the network as a log and event text: bounded, one line.
std::string Shown(const std::string& payload) {
    constexpr size_t kLongest = 40;
    std::string text = payload.substr(0, kLongest);
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20) c = '?';
    return "\"" + text + (payload.size() > kLongest ? "...\"" : "\"");
}

}  // namespace

MqttPublisher::MqttPublisher(MqttSettings settings, ICommandSink* commands)
    : topics_(settings.topicPrefix, settings.discoveryPrefix),
      discovery_(topics_, settings.topicPrefix + "/bridge/availability"),
      commands_(commands),
      client_(
          std::move(settings), [this] { OnConnect(); },
          [this](const MqttMessage& message) { OnMessage(message); }) {}

MqttPublisher::~MqttPublisher() {
    Stop();
}

bool MqttPublisher::Start(std::string* error) {
    return client_.Start(error);
}

void MqttPublisher::Stop() {
    client_.Stop();
}

void MqttPublisher::AnnounceLocked(const DeviceIdentity& identity) {
    for (const TopicPayload& config : discovery_.Configs(identity))
        client_.Publish(config.topic, config.payload, kRetainedQos, true);
}

void MqttPublisher::WithdrawLocked(const std::string& deviceId) {
    for (const std::string& topic : discovery_.ConfigTopics(deviceId))
        client_.Publish(topic, "", kRetainedQos, true);
    client_.Publish(topics_.DeviceAvailability(deviceId), "", kRetainedQos, true);
    client_.Publish(topics_.State(deviceId), "", kRetainedQos, true);
}

void MqttPublisher::Publish(const DeviceUpdate& update) {
    const std::string& id = update.identity.deviceId;
    if (!UsableId(id)) {
        BridgeLog(LogLevel::kWarning,
                  "mqtt: not publishing a device with the unusable id \"" + id + "\"");
        return;
    }
    const std::lock_guard lock(mutex_);
    const auto found = devices_.find(id);
    const bool isNew = found == devices_.end();
    Device& device = isNew ? devices_[id] : found->second;
    if (isNew || !SameIdentity(device.last.identity, update.identity))
        AnnounceLocked(update.identity);
    const bool availabilityChanged =
        !device.availabilityKnown || device.last.online != update.online;
    device.last = update;
    withdrawn_.erase(id);
    // Published under the lock so that a republish after a reconnect cannot
    // overtake a newer state; publishing only queues, it never waits.
    if (availabilityChanged)
        device.availabilityKnown =
            client_.Publish(topics_.DeviceAvailability(id), update.online ? "online" : "offline",
                            kRetainedQos, true);
    if (!update.state.is_null())
        client_.Publish(topics_.State(id), JsonText(update.state), kStateQos, true);
    if (!update.link.is_null())
        client_.Publish(topics_.Link(id), JsonText(update.link), kStateQos, false);
}

void MqttPublisher::Renamed(const std::string& oldId, const DeviceIdentity& now) {
    if (!UsableId(oldId) || oldId == now.deviceId) return;
    BridgeLog(LogLevel::kInfo,
              "mqtt: " + oldId + " is now " + now.deviceId + "; withdrawing its old entities");
    const std::lock_guard lock(mutex_);
    devices_.erase(oldId);
    withdrawn_.insert(oldId);
    WithdrawLocked(oldId);
}

void MqttPublisher::ReportOutcome(const CommandOutcome& outcome) {
    if (!outcome.announce) return;
    PublishEvent(outcome.deviceId, outcome.ok, outcome.message);
}

void MqttPublisher::PublishEvent(const std::string& deviceId, bool ok, const std::string& message) {
    if (!UsableId(deviceId)) return;
    const nlohmann::json event = {{"device_id", deviceId}, {"ok", ok}, {"message", message}};
    client_.Publish(topics_.Event(deviceId), JsonText(event), kCommandQos, false);
}

void MqttPublisher::RepublishLocked() {
    for (const std::string& id : withdrawn_)
        WithdrawLocked(id);
    for (auto& [id, device] : devices_) {
        AnnounceLocked(device.last.identity);
        device.availabilityKnown =
            client_.Publish(topics_.DeviceAvailability(id),
                            device.last.online ? "online" : "offline", kRetainedQos, true);
        if (!device.last.state.is_null())
            client_.Publish(topics_.State(id), JsonText(device.last.state), kStateQos, true);
    }
}

void MqttPublisher::OnConnect() {
    client_.Subscribe(topics_.HomeAssistantStatus(), 0);
    client_.Subscribe(topics_.LoadModeCommandFilter(), kCommandQos);
    client_.Subscribe(topics_.ClockCommandFilter(), kCommandQos);
    const std::lock_guard lock(mutex_);
    RepublishLocked();
}

void MqttPublisher::OnMessage(const MqttMessage& message) {
    if (message.topic == topics_.HomeAssistantStatus()) {
        // A retained "online" is only the broker's copy, sent because we just
        // subscribed; the connect already republished.
        if (message.payload != "online" || message.retained) return;
        BridgeLog(LogLevel::kInfo,
                  "mqtt: Home Assistant is online; republishing discovery and states");
        const std::lock_guard lock(mutex_);
        RepublishLocked();
        return;
    }
    if (const auto command = topics_.ParseCommand(message.topic)) OnCommand(*command, message);
}

void MqttPublisher::OnCommand(const BridgeTopics::CommandTopic& command,
                              const MqttMessage& message) {
    const std::string what =
        std::string(KindName(command.kind)) + " command for " + command.deviceId;
    // A retained command would run again on every reconnect.
    if (message.retained) {
        BridgeLog(LogLevel::kWarning,
                  "mqtt: ignored a retained " + what + "; commands must not be retained");
        return;
    }
    // An empty message is how a retained one is cleared, not a command.
    if (message.payload.empty()) return;
    bool allowed = false;
    {
        const std::lock_guard lock(mutex_);
        const auto found = devices_.find(command.deviceId);
        allowed = found != devices_.end() && found->second.last.identity.allowControl;
    }
    if (!allowed || commands_ == nullptr) {
        BridgeLog(LogLevel::kWarning,
                  "mqtt: ignored a " + what + ": no such device or control is not enabled");
        return;
    }
    DeviceCommand request;
    request.deviceId = command.deviceId;
    request.kind = command.kind;
    if (command.kind == DeviceCommand::Kind::kSetLoadMode) {
        const auto choice = ParseLoadModeOption(message.payload);
        if (!choice) {
            const std::string reason = "unknown load mode " + Shown(message.payload);
            BridgeLog(LogLevel::kWarning, "mqtt: ignored a " + what + ": " + reason);
            PublishEvent(command.deviceId, false, reason);
            return;
        }
        request.loadMode = *choice;
    }
    if (!commands_->Submit(request)) {
        BridgeLog(LogLevel::kWarning, "mqtt: the bus side refused a " + what);
        PublishEvent(command.deviceId, false, "refused by the bus side");
    }
}

}  // namespace kestrane::bridge
