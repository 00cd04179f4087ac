// What the Set Time dialog does, without widgets: shows the PC's local time in
// the display and the six lists, and queues a write of the controller's clock
// from whatever the lists hold.
#pragma once

#include <string>

#include "platform/LocalClock.h"
#include "protocol/SharedState.h"
#include "ui/ControlAccess.h"

namespace kestrane {

class SetTimeLogic {
public:
    SetTimeLogic(SharedState& shared, IControlAccess& dialog, const ILocalClock& clock)
        : shared_(shared), dialog_(dialog), clock_(clock) {}

    // User message 0x403 from the monitor pass, which comes once after the
    // dialog opens: fill the display and the lists, then ask for no more.
    void OnRefresh();
    // LOCAL TIME (1179): fill them again, whether or not monitoring runs.
    void OnLocalTime();
    // CONFIRM (1180): the six list texts become the clock write. No value is
    // range-checked; the controller judges them. The dialog stays open.
    void OnConfirmTime();
    // Any way the dialog closes: a refresh still pending has no receiver.
    void OnClose();

    // The display text of 1181: "%4d-%2d-%2d   %2d:%2d:%2d", blank-padded.
    static std::string FormatLocalTime(const LocalTime& t);

private:
    void FillLocalTime();

    SharedState& shared_;
    IControlAccess& dialog_;
    const ILocalClock& clock_;
};

}  // namespace kestrane
