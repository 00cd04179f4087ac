// The settings status values and queued-write selectors the service functions
// set. A handler fills its write image, sets the status and, last, the
// selector; the transaction engine takes the selector at its next free tick.
#pragma once

#include <cstdint>

namespace kestrane::service {

constexpr int32_t kStatusWriteQueued = 3;  // "Setting, please wait!"
constexpr int32_t kStatusSearching = 4;    // "Querying, please wait!"

constexpr int32_t kSelectorAddressChange = 5;  // code 15
constexpr int32_t kSelectorCalibration = 6;    // code 16
constexpr int32_t kSelectorRestore = 7;        // code 17
constexpr int32_t kSelectorClock = 8;          // code 18
constexpr int32_t kSelectorIdentity = 9;       // code 19

}  // namespace kestrane::service
