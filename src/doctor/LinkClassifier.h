// What came back when the controller did not answer properly, read from the
// trace of the requests made: nothing at all, bytes that never form a frame,
// valid frames from another address, CRC errors at a rate, or exception
// replies. Each has its likely causes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "doctor/RecordingLine.h"

namespace kestrane {

enum class LinkFinding : uint8_t {
    kNothing,       // power, wiring, A/B swapped, wrong port
    kGarbage,       // baud or parity mismatch, noise
    kOtherAddress,  // address wrong, or two devices share one
    kCrcErrors,     // noise, termination, ground
    kExceptions,    // not this kind of controller
    kAnswers,       // the controller answered every request
};

struct LinkClassification {
    LinkFinding finding = LinkFinding::kNothing;
    int requests = 0;
    int replies = 0;     // valid frames from the address asked
    int crcErrors = 0;   // frames of the reply's shape with a wrong CRC
    int exceptions = 0;  // exception replies from the address asked
    uint8_t exceptionCode = 0;
    int echoes = 0;
    size_t garbageBytes = 0;
    std::vector<int> otherAddresses;  // valid frames came from these, in order

    // "nothing came back", "CRC errors in 3 of 10 replies", ...
    std::string Text() const;
    // The likely causes and what to look at.
    std::string Hint() const;
};

// The name of a finding in machine-readable output.
const char* LinkFindingName(LinkFinding finding);

// Reads `events` (requests and the bursts that followed them) for replies
// from `address`. A burst before the first request is read as answering none.
LinkClassification ClassifyLink(std::span<const TraceEvent> events, int address);

}  // namespace kestrane
