// What the Check Address dialog does, without widgets: shows the address the
// controller reports about itself and queues a change of that address.
//
// The dialog class owns one of these, built with the dialog's own controls,
// and forwards each of its handlers to one call.
#pragma once

#include "protocol/SharedState.h"
#include "ui/ControlAccess.h"

namespace kestrane {

class CheckAddressLogic {
public:
    CheckAddressLogic(SharedState& shared, IControlAccess& dialog)
        : shared_(shared), dialog_(dialog) {}

    // User message 0x401 from the monitor pass: the querying text while the
    // search runs, else the controller's own address.
    void OnRefresh();
    // MODIFY (1016): checks the typed address and queues the change.
    void OnModify();
    // Any way the dialog closes (close box, Enter, Escape): the monitor pass
    // stops asking it to refresh.
    void OnClose();

private:
    SharedState& shared_;
    IControlAccess& dialog_;
};

}  // namespace kestrane
