#include "serial/TracingLine.h"

namespace kestrane {

std::string TracingLine::Hex(const uint8_t* data, size_t length) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(length * 3);
    for (size_t i = 0; i < length; ++i) {
        if (i > 0) out += ' ';
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 0xF];
    }
    return out;
}

bool TracingLine::Write(const uint8_t* data, size_t length, int timeoutMs) {
    const bool written = inner_->Write(data, length, timeoutMs);
    trace_((written ? "tx " : "tx failed ") + Hex(data, length));
    return written;
}

bool TracingLine::Read(uint8_t* buffer, size_t capacity, size_t& count) {
    const bool got = inner_->Read(buffer, capacity, count);
    if (got) trace_("rx " + Hex(buffer, count));
    return got;
}

bool TracingLine::ReadFor(uint8_t* buffer, size_t capacity, size_t& count, int timeoutMs) {
    const bool got = inner_->ReadFor(buffer, capacity, count, timeoutMs);
    if (got) trace_("rx " + Hex(buffer, count));
    return got;
}

}  // namespace kestrane
