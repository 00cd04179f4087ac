#include "bridge/JsonLinesSink.h"

namespace kestrane::bridge {

std::string JsonLinesSink::Line(const DeviceUpdate& update) {
    nlohmann::json line = nlohmann::json::object();
    line["device"] = update.identity.deviceId;
    line["name"] = update.identity.name;
    line["bus"] = update.identity.busIndex;
    line["address"] = update.identity.address;
    line["online"] = update.online;
    line["state"] = update.state;
    line["link"] = update.link;
    // Replacement rather than an exception for text that is not UTF-8.
    return line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void JsonLinesSink::Publish(const DeviceUpdate& update) {
    const std::string text = Line(update) + "\n";
    std::lock_guard lock(mutex_);
    std::fwrite(text.data(), 1, text.size(), out_);
    std::fflush(out_);
}

}  // namespace kestrane::bridge
