#include "web/EventStream.h"

#include <algorithm>
#include <cstring>

namespace kestrane::web {

bool EventStream::Send(std::string_view text) {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    if (queue_.size() - readOffset_ + text.size() > maxQueuedBytes_) {
        // The client stopped reading: drop it instead of buffering for it.
        closed_ = true;
        failed_ = true;
        queue_.clear();
        readOffset_ = 0;
        WakeLocked();
        return false;
    }
    queue_.append(text);
    WakeLocked();
    return true;
}

bool EventStream::SendEvent(std::string_view name, std::string_view data) {
    std::string text;
    text.reserve(name.size() + data.size() + 16);
    text.append("event: ").append(name).append("\n");
    // Every line of the data needs its own "data:" prefix; a bare CR or LF
    // inside would otherwise end the event early or inject a field.
    size_t start = 0;
    while (true) {
        const size_t end = data.find_first_of("\r\n", start);
        text.append("data: ").append(data.substr(start, end - start)).append("\n");
        if (end == std::string_view::npos) break;
        start = end + 1;
        if (data[end] == '\r' && start < data.size() && data[start] == '\n') ++start;
    }
    text.append("\n");
    return Send(text);
}

void EventStream::Close() {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    closed_ = true;
    WakeLocked();
}

bool EventStream::IsOpen() const {
    std::lock_guard lock(mutex_);
    return !closed_;
}

long EventStream::Read(char* buffer, size_t size, const std::function<void()>& park) {
    std::lock_guard lock(mutex_);
    if (readOffset_ < queue_.size()) {
        const size_t n = std::min(size, queue_.size() - readOffset_);
        std::memcpy(buffer, queue_.data() + readOffset_, n);
        readOffset_ += n;
        if (readOffset_ == queue_.size()) {
            queue_.clear();
            readOffset_ = 0;
        }
        return static_cast<long>(n);
    }
    if (closed_) return failed_ ? kFailed : kEnded;
    parked_ = true;
    park();
    return 0;
}

void EventStream::SetWaker(std::function<void()> wake) {
    std::lock_guard lock(mutex_);
    wake_ = std::move(wake);
}

void EventStream::Detach() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    parked_ = false;
    wake_ = nullptr;
    queue_.clear();
    readOffset_ = 0;
}

void EventStream::WakeLocked() {
    if (!parked_ || !wake_) return;
    parked_ = false;
    wake_();
}

}  // namespace kestrane::web
