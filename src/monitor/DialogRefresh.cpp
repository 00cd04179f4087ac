#include "monitor/DialogRefresh.h"

#include "monitor/ControlIds.h"

namespace kestrane {

namespace {

struct RefreshRow {
    AtomicValue ControllerData::*flag;
    DialogRefreshRequest request;
};

constexpr RefreshRow kRefreshRows[] = {
    {&ControllerData::addressDialogRefresh, {id::kCheckAddressDialog, kCheckAddressRefreshMessage}},
    {&ControllerData::calibrationDialogRefresh,
     {id::kDataCorrectionDialog, kDataCorrectionRefreshMessage}},
    {&ControllerData::clockDialogRefresh, {id::kSetTimeDialog, kSetTimeRefreshMessage}},
};

}  // namespace

std::vector<DialogRefreshRequest> PendingDialogRefreshes(const ControllerData& data) {
    std::vector<DialogRefreshRequest> requests;
    for (const RefreshRow& row : kRefreshRows)
        if ((data.*row.flag).load() == 1) requests.push_back(row.request);
    return requests;
}

}  // namespace kestrane
