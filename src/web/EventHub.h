// Fans named events out to every open live stream. The bridge feeds it from
// its update fan-out (an IUpdateSink that formats a device's state and calls
// Broadcast); routes open streams with Open. Broadcast only queues text, so a
// bus thread never waits for a slow browser.
#pragma once

#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "web/EventStream.h"

namespace kestrane::web {

class EventHub {
public:
    explicit EventHub(size_t queueBytesPerStream = EventStream::kDefaultQueueBytes)
        : queueBytes_(queueBytesPerStream) {}

    // A new stream that receives every later Broadcast; answer a request
    // with HttpResponse::Stream(hub.Open()).
    std::shared_ptr<EventStream> Open();
    // Sends "event: <name>\ndata: <data>\n\n" to every open stream; closed
    // ones are forgotten. Safe from any thread.
    void Broadcast(std::string_view name, std::string_view data);
    // Ends every stream (the bridge is stopping).
    void CloseAll();
    size_t OpenCount() const;

private:
    const size_t queueBytes_;
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<EventStream>> streams_;
};

}  // namespace kestrane::web
