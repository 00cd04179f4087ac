// What the transaction engine needs of the program that hosts it: the window
// and the command-line tool each implement this.
#pragma once

#include <cstdint>

namespace kestrane {

class IEngineHost {
public:
    virtual ~IEngineHost() = default;

    // Index of the entry selected in the address list (address - 1), or -1
    // when nothing is selected. Called on the tick thread.
    virtual int SelectedAddressIndex() const = 0;
    // Selects entry `index` (address - 1) of the address list. Called on the
    // receive pass when the address scan finds a device or the controller
    // confirms an address change, and on the tick that gives up waiting for
    // that confirmation.
    virtual void SelectAddressIndex(int index) = 0;
    // The two link counters, for display. framesSent comes from the tick
    // thread, repliesReceived from the receive pass.
    virtual void ShowFramesSent(int32_t framesSent) = 0;
    virtual void ShowRepliesReceived(int32_t repliesReceived) = 0;
    // Called on the tick thread once every 551 ticks: time for an event-log
    // record.
    virtual void OnLogTick() = 0;
};

}  // namespace kestrane
