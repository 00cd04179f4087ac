#include "doctor/RecordingLine.h"

namespace kestrane {

RecordingLine::RecordingLine(ISerialLine& inner, IBusClock& clock)
    : inner_(inner), clock_(clock), start_(clock.Now()) {}

double RecordingLine::NowMs() const {
    return std::chrono::duration<double, std::milli>(clock_.Now() - start_).count();
}

const TraceEvent* RecordingLine::LastRequest() const {
    for (auto it = events_.rbegin(); it != events_.rend(); ++it)
        if (it->sent) return &*it;
    return nullptr;
}

void RecordingLine::Flush() {
    if (!burstOpen_) return;
    burstOpen_ = false;
    if (sink_) sink_(events_.back(), LastRequest());
}

bool RecordingLine::Write(const uint8_t* data, size_t length, int timeoutMs) {
    Flush();
    const double before = NowMs();
    const bool written = inner_.Write(data, length, timeoutMs);
    events_.push_back({true, before, NowMs(), std::vector<uint8_t>(data, data + length)});
    if (sink_) sink_(events_.back(), nullptr);
    return written;
}

void RecordingLine::Received(const uint8_t* data, size_t count) {
    const double now = NowMs();
    if (!burstOpen_) {
        events_.push_back({false, now, now, {}});
        burstOpen_ = true;
    }
    TraceEvent& burst = events_.back();
    burst.bytes.insert(burst.bytes.end(), data, data + count);
    burst.lastMs = now;
}

bool RecordingLine::Read(uint8_t* buffer, size_t capacity, size_t& count) {
    const bool got = inner_.Read(buffer, capacity, count);
    if (got && count > 0) Received(buffer, count);
    return got;
}

bool RecordingLine::ReadFor(uint8_t* buffer, size_t capacity, size_t& count, int timeoutMs) {
    const bool got = inner_.ReadFor(buffer, capacity, count, timeoutMs);
    if (got && count > 0) Received(buffer, count);
    return got;
}

}  // namespace kestrane
