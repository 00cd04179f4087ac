// What one attempt of a bus transaction came to, and the counters kept of it
// per device and per bus.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kestrane {

enum class BusResult : uint8_t {
    kOk,             // the expected reply, CRC correct, accepted by the decoder
    kTimeout,        // nothing (or only bytes belonging to no request) arrived in time
    kCrcError,       // a reply of the expected shape whose CRC does not match
    kOtherAddress,   // only a well-formed reply from another device came
    kWrongFunction,  // a well-formed reply from the device with another function
    kEcho,           // the adapter echoed the request; the echo was skipped
    kException,      // the device answered with an exception code
    kShort,          // the reply broke off, or only garbled bytes came
    kRejected,       // a well-formed reply the decoder did not accept (values out of order)
    kLineClosed,     // the device hung up; nothing more can be sent or read
};

inline constexpr size_t kBusResultCount = 10;

// The name of a result in machine-readable output.
constexpr std::string_view BusResultName(BusResult result) {
    constexpr std::array<std::string_view, kBusResultCount> kNames{
        "ok",   "timeout",   "crc_error", "other_address", "wrong_function",
        "echo", "exception", "short",     "rejected",      "line_closed",
    };
    return kNames[static_cast<size_t>(result)];
}

// Requests written, and how every attempt ended. Echoes are counted as they
// are skipped, in addition to the attempt's own result.
struct LinkCounters {
    uint32_t requests = 0;
    std::array<uint32_t, kBusResultCount> results{};

    uint32_t Count(BusResult result) const { return results[static_cast<size_t>(result)]; }
    void Add(BusResult result) { ++results[static_cast<size_t>(result)]; }
};

}  // namespace kestrane
