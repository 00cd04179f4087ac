// A serial line whose device the test scripts: each written request gets the
// next queued reply, or else whatever the responder makes of it. Every written
// frame is recorded. No real time passes: a Read with nothing queued reports
// the silence that ends a reply at once (ReadFor tells the silence hook how
// long it would have waited, so a test clock can move on). Safe to use from a
// tick thread and a receive worker at the same time.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "serial/SerialLine.h"

namespace kestrane::testing {

using Bytes = std::vector<uint8_t>;

// What the device sends back for one request: pieces in order, each delivered
// by one Read. An empty piece is a silence in the middle of the reply.
using Reply = std::vector<Bytes>;

class ScriptedLine : public ISerialLine {
public:
    using Responder = std::function<Reply(const Bytes& request)>;

    // Answers requests for which no reply is queued; without one the device is
    // silent.
    void SetResponder(Responder responder);
    // The reply to the next written request (queued replies go first, in order).
    void QueueReply(Reply reply);
    // Bytes that reach the receive queue now, outside any request: a reply
    // arriving after its transaction was given up.
    void InjectInput(Bytes bytes);
    void SetOpen(bool open);
    // From now on the device is gone: reads bring nothing, HasHungUp is true.
    void SetHungUp(bool hungUp);
    // Called (outside the lock) with the wait of every ReadFor that finds
    // nothing to deliver.
    void SetSilenceHook(std::function<void(int timeoutMs)> hook);

    std::vector<Bytes> Written() const;
    Bytes LastWritten() const;
    int ReadCalls() const;
    int DiscardCalls() const;
    // Bytes still waiting in the receive queue.
    size_t PendingBytes() const;

    bool IsOpen() const override;
    bool Write(const uint8_t* data, size_t length, int timeoutMs) override;
    bool Read(uint8_t* buffer, size_t capacity, size_t& count) override;
    bool ReadFor(uint8_t* buffer, size_t capacity, size_t& count, int timeoutMs) override;
    bool HasHungUp() const override;
    void DiscardInput() override;

private:
    mutable std::mutex mutex_;
    Responder responder_;
    std::deque<Reply> queued_;
    std::deque<Bytes> input_;
    std::vector<Bytes> written_;
    std::function<void(int)> silenceHook_;
    bool open_ = true;
    bool hungUp_ = false;
    int readCalls_ = 0;
    int discardCalls_ = 0;
};

}  // namespace kestrane::testing
