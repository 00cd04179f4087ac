// Which open service dialogs a monitor pass asks to refresh themselves. The
// window sends each request synchronously, in the order given, before it
// applies the pass's texts.
#pragma once

#include <vector>

#include "protocol/ControllerData.h"

namespace kestrane {

// User messages a service dialog handles as "refresh from the record".
constexpr unsigned kCheckAddressRefreshMessage = 0x401;
constexpr unsigned kDataCorrectionRefreshMessage = 0x402;
constexpr unsigned kSetTimeRefreshMessage = 0x403;

struct DialogRefreshRequest {
    int dialogId;
    unsigned message;

    bool operator==(const DialogRefreshRequest&) const = default;
};

// One request for each refresh flag that is 1: Check Address, then Data
// Correction, then Set Time.
std::vector<DialogRefreshRequest> PendingDialogRefreshes(const ControllerData& data);

}  // namespace kestrane
