#include "bus/ReplyScanner.h"

#include <algorithm>

#include "protocol/Crc16.h"

namespace kestrane {

namespace {

using Kind = ScanStep::Kind;

constexpr uint8_t kReadFunction = 3;
constexpr uint8_t kWriteSingleFunction = 6;
constexpr uint8_t kWriteMultipleFunction = 16;
constexpr uint8_t kExceptionBit = 0x80;
constexpr size_t kExceptionLength = 5;
constexpr size_t kWriteReplyLength = 8;
constexpr size_t kReadOverhead = 5;  // address, function, byte count, CRC

bool KnownFunction(uint8_t function) {
    return function == kReadFunction || function == kWriteSingleFunction ||
           function == kWriteMultipleFunction;
}

// What the frame starting at bytes[0] is, without looking further.
ScanStep ClassifyHead(std::span<const uint8_t> bytes, const ReplyExpectation& expect) {
    bool complete = false;
    const size_t length = AnnouncedLength(bytes, complete);
    if (!complete) return {Kind::kNeedMore, 0};
    if (length == 0) return {Kind::kGarbage, 1};
    if (bytes.size() < length) return {Kind::kNeedMore, 0};
    const bool crcOk = CrcMatches(bytes.first(length));
    const uint8_t function = bytes[1];
    if (bytes[0] != expect.address)
        return {crcOk ? Kind::kOtherAddress : Kind::kGarbage, crcOk ? length : 1};
    if (function == (expect.function | kExceptionBit))
        return {crcOk ? Kind::kException : Kind::kCrcError, length};
    if (function != expect.function)
        return {crcOk ? Kind::kWrongFunction : Kind::kGarbage, crcOk ? length : 1};
    if (!crcOk) return {Kind::kCrcError, length};
    // A read reply for another register count answers an earlier request.
    if (function == kReadFunction && bytes[2] != expect.byteCount) return {Kind::kStale, length};
    return {Kind::kReply, length};
}

bool IsOurAnswer(Kind kind) {
    return kind == Kind::kReply || kind == Kind::kException;
}

bool IsWellFormed(Kind kind) {
    return IsOurAnswer(kind) || kind == Kind::kWrongFunction || kind == Kind::kOtherAddress ||
           kind == Kind::kStale;
}

}  // namespace

bool CrcMatches(std::span<const uint8_t> frame) {
    if (frame.size() < 2) return false;
    const size_t covered = frame.size() - 2;
    const uint16_t crc = Crc16(frame.data(), covered);
    return frame[covered] == (crc & 0xFF) && frame[covered + 1] == (crc >> 8);
}

size_t AnnouncedLength(std::span<const uint8_t> bytes, bool& complete) {
    complete = bytes.size() >= 2;
    if (!complete) return 0;
    const uint8_t function = bytes[1];
    if ((function & kExceptionBit) != 0)
        return KnownFunction(function & ~kExceptionBit) ? kExceptionLength : 0;
    if (function == kReadFunction) {
        complete = bytes.size() >= 3;
        return complete ? kReadOverhead + bytes[2] : 0;
    }
    return KnownFunction(function) ? kWriteReplyLength : 0;
}

size_t ExpectedReplyLength(const ReplyExpectation& expect) {
    return expect.function == kReadFunction ? kReadOverhead + expect.byteCount : kWriteReplyLength;
}

ScanStep ScanReply(std::span<const uint8_t> received, const ReplyExpectation& expect) {
    if (received.empty()) return {Kind::kNeedMore, 0};

    // The whole request first: on a bus that echoes, the first copy of a
    // single-register write is the echo, the second the reply.
    const std::span<const uint8_t> request = expect.request;
    const bool echoPossible = expect.echoPossible && !request.empty();
    const size_t compared = std::min(received.size(), request.size());
    const bool echoSoFar =
        echoPossible &&
        std::equal(request.begin(), request.begin() + static_cast<std::ptrdiff_t>(compared),
                   received.begin());
    if (echoSoFar && compared == request.size()) return {Kind::kEcho, request.size()};

    const ScanStep head = ClassifyHead(received, expect);
    if (IsOurAnswer(head.kind)) return head;
    // Part of the request: the echo may be under way.
    if (echoSoFar) return {Kind::kNeedMore, 0};
    if (IsWellFormed(head.kind)) return head;

    // The head is broken or still incomplete. When a complete answer of ours
    // follows later in the buffer, everything before it was noise.
    for (size_t at = 1; at < received.size(); ++at) {
        if (IsOurAnswer(ClassifyHead(received.subspan(at), expect).kind))
            return {Kind::kGarbage, at};
    }
    return head;
}

}  // namespace kestrane
