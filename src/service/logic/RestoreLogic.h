// What the Restore dialog does, without widgets: OK queues the factory-restore
// command; Cancel, Escape and the close box queue nothing and need no call.
#pragma once

#include "protocol/SharedState.h"

namespace kestrane {

class RestoreLogic {
public:
    explicit RestoreLogic(SharedState& shared) : shared_(shared) {}

    // OK (button 1) or Enter, before the dialog's standard OK closes it.
    void OnOk();

private:
    SharedState& shared_;
};

}  // namespace kestrane
