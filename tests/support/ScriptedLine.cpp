#include "support/ScriptedLine.h"

#include <algorithm>

namespace kestrane::testing {

void ScriptedLine::SetResponder(Responder responder) {
    std::lock_guard lock(mutex_);
    responder_ = std::move(responder);
}

void ScriptedLine::QueueReply(Reply reply) {
    std::lock_guard lock(mutex_);
    queued_.push_back(std::move(reply));
}

void ScriptedLine::InjectInput(Bytes bytes) {
    std::lock_guard lock(mutex_);
    input_.push_back(std::move(bytes));
}

void ScriptedLine::SetOpen(bool open) {
    std::lock_guard lock(mutex_);
    open_ = open;
}

void ScriptedLine::SetHungUp(bool hungUp) {
    std::lock_guard lock(mutex_);
    hungUp_ = hungUp;
}

void ScriptedLine::SetSilenceHook(std::function<void(int)> hook) {
    std::lock_guard lock(mutex_);
    silenceHook_ = std::move(hook);
}

bool ScriptedLine::HasHungUp() const {
    std::lock_guard lock(mutex_);
    return hungUp_;
}

std::vector<Bytes> ScriptedLine::Written() const {
    std::lock_guard lock(mutex_);
    return written_;
}

Bytes ScriptedLine::LastWritten() const {
    std::lock_guard lock(mutex_);
    return written_.empty() ? Bytes{} : written_.back();
}

int ScriptedLine::ReadCalls() const {
    std::lock_guard lock(mutex_);
    return readCalls_;
}

int ScriptedLine::DiscardCalls() const {
    std::lock_guard lock(mutex_);
    return discardCalls_;
}

size_t ScriptedLine::PendingBytes() const {
    std::lock_guard lock(mutex_);
    size_t total = 0;
    for (const Bytes& piece : input_)
        total += piece.size();
    return total;
}

bool ScriptedLine::IsOpen() const {
    std::lock_guard lock(mutex_);
    return open_;
}

bool ScriptedLine::Write(const uint8_t* data, size_t length, int /*timeoutMs*/) {
    std::unique_lock lock(mutex_);
    if (!open_ || hungUp_) return false;
    Bytes request(data, data + length);
    written_.push_back(request);
    Reply reply;
    if (!queued_.empty()) {
        reply = std::move(queued_.front());
        queued_.pop_front();
    } else if (responder_) {
        Responder responder = responder_;
        lock.unlock();
        reply = responder(request);
        lock.lock();
    }
    for (Bytes& piece : reply)
        input_.push_back(std::move(piece));
    return true;
}

bool ScriptedLine::Read(uint8_t* buffer, size_t capacity, size_t& count) {
    std::lock_guard lock(mutex_);
    ++readCalls_;
    count = 0;
    if (!open_ || hungUp_ || input_.empty()) return false;
    Bytes& front = input_.front();
    if (front.empty()) {
        input_.pop_front();
        return false;
    }
    count = std::min(capacity, front.size());
    std::copy_n(front.begin(), count, buffer);
    front.erase(front.begin(), front.begin() + static_cast<std::ptrdiff_t>(count));
    if (front.empty()) input_.pop_front();
    return true;
}

bool ScriptedLine::ReadFor(uint8_t* buffer, size_t capacity, size_t& count, int timeoutMs) {
    if (Read(buffer, capacity, count)) return true;
    std::function<void(int)> hook;
    {
        std::lock_guard lock(mutex_);
        hook = silenceHook_;
    }
    if (hook) hook(timeoutMs);
    return false;
}

void ScriptedLine::DiscardInput() {
    std::lock_guard lock(mutex_);
    ++discardCalls_;
    input_.clear();
}

}  // namespace kestrane::testing
