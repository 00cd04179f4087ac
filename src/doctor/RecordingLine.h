// A serial line that records every byte both ways with the time it was seen,
// for the doctor's timing figures and its frame trace. What arrives between
// two requests is kept as one received burst; the sink hears of each request
// at once and of each burst when the next request is written or on Flush.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "bus/BusClock.h"
#include "serial/SerialLine.h"

namespace kestrane {

struct TraceEvent {
    bool sent = false;
    double atMs = 0;    // first byte, milliseconds from the line's start
    double lastMs = 0;  // last byte
    std::vector<uint8_t> bytes;
};

class RecordingLine : public ISerialLine {
public:
    using Sink = std::function<void(const TraceEvent& event, const TraceEvent* request)>;

    RecordingLine(ISerialLine& inner, IBusClock& clock);

    // `sink` (may be empty) hears every finished event, received ones with
    // the request they followed (null when none).
    void SetSink(Sink sink) { sink_ = std::move(sink); }
    // Hands the burst being received to the sink.
    void Flush();
    const std::vector<TraceEvent>& Events() const { return events_; }
    double NowMs() const;

    bool IsOpen() const override { return inner_.IsOpen(); }
    bool Write(const uint8_t* data, size_t length, int timeoutMs) override;
    bool Read(uint8_t* buffer, size_t capacity, size_t& count) override;
    bool ReadFor(uint8_t* buffer, size_t capacity, size_t& count, int timeoutMs) override;
    bool HasHungUp() const override { return inner_.HasHungUp(); }
    void ExpectReply(size_t length) override { inner_.ExpectReply(length); }
    void DiscardInput() override { inner_.DiscardInput(); }

private:
    void Received(const uint8_t* data, size_t count);
    const TraceEvent* LastRequest() const;

    ISerialLine& inner_;
    IBusClock& clock_;
    IBusClock::TimePoint start_;
    std::vector<TraceEvent> events_;
    bool burstOpen_ = false;  // the last event is a burst still receiving
    Sink sink_;
};

}  // namespace kestrane
