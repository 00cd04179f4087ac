// Finds the reply to one request in the bytes received so far. Pure: takes
// bytes, says what the first of them are. The master calls it after every
// read and acts on the answer (read on, drop bytes, or end the attempt).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kestrane {

// What the request leads the master to expect.
struct ReplyExpectation {
    std::span<const uint8_t> request;
    uint8_t address = 0;
    uint8_t function = 0;
    // Function 3: the byte count the reply must carry (twice the registers asked for).
    uint8_t byteCount = 0;
    // Whether bytes equal to the request may be taken for an echo of it. Not
    // for a function-6 write while the bus is not known to echo: its proper
    // reply is a copy of the request.
    bool echoPossible = true;
};

struct ScanStep {
    enum class Kind : uint8_t {
        kNeedMore,       // no verdict yet; read on
        kReply,          // `length` bytes are the reply
        kException,      // `length` bytes are an exception reply (code in byte 2)
        kCrcError,       // `length` bytes have the reply's shape but a wrong CRC
        kWrongFunction,  // a well-formed frame from the device with another function
        kOtherAddress,   // a well-formed frame from another device
        kEcho,           // `length` bytes are the request itself
        kStale,          // a well-formed frame from the device answering another request
        kGarbage,        // `length` bytes start no frame
    };
    Kind kind = Kind::kNeedMore;
    size_t length = 0;
};

// The expected length of a reply to `expect`: 5 + 2N for a read of N
// registers, 8 for a write acknowledgement.
size_t ExpectedReplyLength(const ReplyExpectation& expect);

ScanStep ScanReply(std::span<const uint8_t> received, const ReplyExpectation& expect);

// True when the last two bytes of `frame` are the CRC of the others.
bool CrcMatches(std::span<const uint8_t> frame);

// The length a reply frame announces in its header; 0 when it is no frame
// this system knows, or when the header has not fully arrived (`complete`
// false then).
size_t AnnouncedLength(std::span<const uint8_t> bytes, bool& complete);

}  // namespace kestrane
