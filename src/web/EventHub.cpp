#include "web/EventHub.h"

#include <algorithm>

namespace kestrane::web {

std::shared_ptr<EventStream> EventHub::Open() {
    auto stream = std::make_shared<EventStream>(queueBytes_);
    std::lock_guard lock(mutex_);
    streams_.push_back(stream);
    return stream;
}

void EventHub::Broadcast(std::string_view name, std::string_view data) {
    std::lock_guard lock(mutex_);
    // A failed send means the stream is closed, gone or dropped for not reading.
    std::erase_if(streams_, [&](const std::shared_ptr<EventStream>& stream) {
        return !stream->SendEvent(name, data);
    });
}

void EventHub::CloseAll() {
    std::lock_guard lock(mutex_);
    for (const auto& stream : streams_)
        stream->Close();
    streams_.clear();
}

size_t EventHub::OpenCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<size_t>(std::count_if(streams_.begin(), streams_.end(),
                                             [](const auto& stream) { return stream->IsOpen(); }));
}

}  // namespace kestrane::web
