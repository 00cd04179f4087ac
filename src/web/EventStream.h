// One open Server-Sent Events answer: a bounded queue of text between the
// application, which sends from any thread, and the server, which drains it
// into the connection. When the queue is empty the server parks the
// connection (suspends it, holding no thread) and the next Send or Close
// wakes it. A client that stops reading lets the queue fill; the stream is
// then dropped rather than growing without bound.
#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace kestrane::web {

class EventStream {
public:
    static constexpr size_t kDefaultQueueBytes = 256 * 1024;

    explicit EventStream(size_t maxQueuedBytes = kDefaultQueueBytes)
        : maxQueuedBytes_(maxQueuedBytes) {}

    // Queues raw event-stream text. False, and nothing queued, once the
    // stream is closed; a send that would overflow the queue closes it.
    bool Send(std::string_view text);
    // Queues "event: <name>\ndata: <line>\n" per line of `data`, then "\n".
    bool SendEvent(std::string_view name, std::string_view data);
    // Ends the stream after what is queued has gone out.
    void Close();
    bool IsOpen() const;

    // The server's side. Read copies queued text into `buffer` and returns
    // its length; with nothing queued it calls `park` under the stream's lock
    // and returns 0, or returns kEnded / kFailed once the stream is over.
    static constexpr long kEnded = -1;
    static constexpr long kFailed = -2;  // dropped: end without a proper last chunk
    long Read(char* buffer, size_t size, const std::function<void()>& park);
    // `wake` is called, under the stream's lock, once after each park when
    // text is queued or the stream is closed.
    void SetWaker(std::function<void()> wake);
    // The connection is gone: no more waking, every later Send fails.
    void Detach();

private:
    void WakeLocked();

    const size_t maxQueuedBytes_;
    mutable std::mutex mutex_;
    std::string queue_;
    size_t readOffset_ = 0;
    bool closed_ = false;
    bool failed_ = false;
    bool parked_ = false;
    std::function<void()> wake_;
};

}  // namespace kestrane::web
