#include "doctor/FrameAnnotation.h"

#include <algorithm>
#include <cstdio>

#include "bus/ReplyScanner.h"

namespace kestrane {

namespace {

using Kind = FramePiece::Kind;

constexpr uint8_t kRead = 3;
constexpr uint8_t kWriteSingle = 6;
constexpr uint8_t kWriteMultiple = 16;
constexpr uint8_t kExceptionBit = 0x80;

// The length of the reply frame starting at bytes[0]; 0 when the bytes
// start no reply frame this system knows or stop short of it.
size_t ReplyLength(std::span<const uint8_t> bytes) {
    bool complete = false;
    const size_t length = AnnouncedLength(bytes, complete);
    return complete && length <= bytes.size() ? length : 0;
}

unsigned Word(std::span<const uint8_t> bytes, size_t at) {
    return static_cast<unsigned>(bytes[at] << 8 | bytes[at + 1]);
}

std::string CrcText(std::span<const uint8_t> frame) {
    return CrcMatches(frame) ? ", CRC ok" : ", CRC bad";
}

std::string Format(const char* format, unsigned a, unsigned b = 0, unsigned c = 0) {
    char text[96];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

}  // namespace

std::vector<FramePiece> SplitReceived(std::span<const uint8_t> received,
                                      std::span<const uint8_t> request) {
    std::vector<FramePiece> pieces;
    const auto add = [&pieces](Kind kind, size_t offset, size_t length) {
        if (kind == Kind::kGarbage && !pieces.empty() && pieces.back().kind == Kind::kGarbage) {
            pieces.back().length += length;
            return;
        }
        pieces.push_back({kind, offset, length});
    };
    for (size_t at = 0; at < received.size();) {
        const std::span<const uint8_t> rest = received.subspan(at);
        if (!request.empty() && rest.size() >= request.size() &&
            std::equal(request.begin(), request.end(), rest.begin())) {
            add(Kind::kEcho, at, request.size());
            at += request.size();
            continue;
        }
        const size_t length = ReplyLength(rest);
        if (length > 0 && CrcMatches(rest.first(length))) {
            add(Kind::kFrame, at, length);
            at += length;
            continue;
        }
        const bool answersRequest = request.size() >= 2 && length > 0 && rest[0] == request[0] &&
                                    (rest[1] & ~kExceptionBit) == request[1];
        if (answersRequest) {
            add(Kind::kCrcBad, at, length);
            at += length;
            continue;
        }
        add(Kind::kGarbage, at, 1);
        ++at;
    }
    return pieces;
}

std::string HexBytes(std::span<const uint8_t> bytes) {
    std::string text;
    for (const uint8_t byte : bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%s%02X", text.empty() ? "" : " ", byte);
        text += hex;
    }
    return text;
}

std::string DescribeRequest(std::span<const uint8_t> frame) {
    if (frame.size() < 8) return Format("%u bytes, too short for a request", frame.size());
    const std::string address = Format("address %u, ", frame[0]);
    const unsigned start = Word(frame, 2);
    const unsigned value = Word(frame, 4);
    switch (frame[1]) {
        case kRead:
            return address + Format("read %u registers from 0x%04X", value, start) + CrcText(frame);
        case kWriteSingle:
            return address + Format("write 0x%04X = %u", start, value) + CrcText(frame);
        case kWriteMultiple:
            return address + Format("write %u registers from 0x%04X", value, start) +
                   CrcText(frame);
        default:
            return address + Format("function %u", frame[1]) + CrcText(frame);
    }
}

std::string DescribePiece(std::span<const uint8_t> received, const FramePiece& piece) {
    const std::span<const uint8_t> bytes = received.subspan(piece.offset, piece.length);
    switch (piece.kind) {
        case Kind::kEcho:
            return "echo of the request";
        case Kind::kGarbage:
            return Format("%u bytes that form no frame", bytes.size());
        case Kind::kFrame:
        case Kind::kCrcBad:
            break;
    }
    const std::string address = Format("address %u, ", bytes[0]);
    const uint8_t function = bytes[1];
    if ((function & kExceptionBit) != 0)
        return address +
               Format("exception %u to function %u", bytes[2], function & ~kExceptionBit) +
               CrcText(bytes);
    if (function == kRead)
        return address + Format("reply with %u registers", bytes[2] / 2u) + CrcText(bytes);
    return address + Format("write of 0x%04X acknowledged", Word(bytes, 2)) + CrcText(bytes);
}

std::vector<AnnotatedFrame> AnnotateEvent(const TraceEvent& event, const TraceEvent* request) {
    const std::span<const uint8_t> bytes(event.bytes);
    if (event.sent) return {{event.atMs, true, HexBytes(bytes), DescribeRequest(bytes)}};
    std::vector<AnnotatedFrame> lines;
    const std::span<const uint8_t> asked =
        request ? std::span<const uint8_t>(request->bytes) : std::span<const uint8_t>();
    for (const FramePiece& piece : SplitReceived(bytes, asked))
        lines.push_back({event.atMs, false, HexBytes(bytes.subspan(piece.offset, piece.length)),
                         DescribePiece(bytes, piece)});
    return lines;
}

}  // namespace kestrane
