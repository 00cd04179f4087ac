// A serial line that reports every frame it carries: the bytes written and
// the bytes read, in hexadecimal, through a callback. Wraps another line.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "serial/SerialLine.h"

namespace kestrane {

class TracingLine : public ISerialLine {
public:
    using Trace = std::function<void(std::string_view)>;
    TracingLine(std::unique_ptr<ISerialLine> inner, Trace trace)
        : inner_(std::move(inner)), trace_(std::move(trace)) {}

    bool IsOpen() const override { return inner_->IsOpen(); }
    bool Write(const uint8_t* data, size_t length, int timeoutMs) override;
    bool Read(uint8_t* buffer, size_t capacity, size_t& count) override;
    bool ReadFor(uint8_t* buffer, size_t capacity, size_t& count, int timeoutMs) override;
    bool HasHungUp() const override { return inner_->HasHungUp(); }
    void ExpectReply(size_t length) override { inner_->ExpectReply(length); }
    void DiscardInput() override { inner_->DiscardInput(); }

    // The bytes as two hexadecimal digits each, separated by blanks.
    static std::string Hex(const uint8_t* data, size_t length);

private:
    std::unique_ptr<ISerialLine> inner_;
    Trace trace_;
};

}  // namespace kestrane
