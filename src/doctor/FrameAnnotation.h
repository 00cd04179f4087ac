// Reading the bytes of a trace: a received burst cut into the echo of the
// request, whole frames (CRC correct or not) and garbage, and every piece
// described in words (address, function, registers, CRC).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "doctor/RecordingLine.h"

namespace kestrane {

struct FramePiece {
    enum class Kind : uint8_t {
        kEcho,     // the request itself, sent back by the adapter
        kFrame,    // a frame whose CRC holds
        kCrcBad,   // the shape of an answer to the request, with a wrong CRC
        kGarbage,  // bytes that start no frame
    };
    Kind kind = Kind::kGarbage;
    size_t offset = 0;
    size_t length = 0;
};

// The pieces of `received`, in order, covering every byte. `request` (may be
// empty) is what the bytes followed.
std::vector<FramePiece> SplitReceived(std::span<const uint8_t> received,
                                      std::span<const uint8_t> request);

// "01 03 00 00"
std::string HexBytes(std::span<const uint8_t> bytes);

// What a frame sent by the master says: "address 1, read 15 registers from
// 0x0000, CRC ok".
std::string DescribeRequest(std::span<const uint8_t> frame);

// What one received piece says: "address 1, reply with 15 registers, CRC ok",
// "echo of the request", "5 bytes that form no frame".
std::string DescribePiece(std::span<const uint8_t> received, const FramePiece& piece);

// One line of a trace: a request, or one piece of a received burst.
struct AnnotatedFrame {
    double atMs = 0;
    bool sent = false;
    std::string hex;
    std::string note;
};

// The lines of one trace event; a received burst is read against
// `request`, the request it followed (may be null).
std::vector<AnnotatedFrame> AnnotateEvent(const TraceEvent& event, const TraceEvent* request);

}  // namespace kestrane
