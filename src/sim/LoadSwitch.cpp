#include "sim/LoadSwitch.h"

namespace kestrane::sim {

bool LoadSwitch::InPeriod(int onMinute, int offMinute, int minuteOfDay) {
    if (onMinute == offMinute) return false;
    if (onMinute < offMinute) return minuteOfDay >= onMinute && minuteOfDay < offMinute;
    return minuteOfDay >= onMinute || minuteOfDay < offMinute;  // across midnight
}

bool LoadSwitch::Step(const LoadSettings& settings, int pvTenths, double secondOfDay,
                      double seconds) {
    // Dusk and dawn are recognised by the PV voltage staying past its
    // threshold for the configured delay; the night's length is remembered so
    // that "hours before dawn" can be timed on the next night.
    if (pvTenths < settings.onPvTenths) {
        darkSeconds_ += seconds;
        lightSeconds_ = 0;
    } else if (pvTenths > settings.offPvTenths) {
        lightSeconds_ += seconds;
        darkSeconds_ = 0;
    }
    if (night_) nightElapsed_ += seconds;
    if (!night_ && darkSeconds_ >= settings.onDelayMinutes * 60.0 && darkSeconds_ > 0) {
        night_ = true;
        nightElapsed_ = 0;
    } else if (night_ && lightSeconds_ >= settings.offDelayMinutes * 60.0 && lightSeconds_ > 0) {
        night_ = false;
        if (nightElapsed_ > 3600) lastNightLength_ = nightElapsed_;
    }

    const int mode = settings.mode;
    if (mode == kLightMode) return night_;
    if (mode > kLightMode && mode < kDualTimer) {
        const double eveningHours = mode - kLightMode;
        int morningHours = settings.morningOnCode - 5200;
        if (morningHours < 0 || morningHours > 15) morningHours = 0;
        if (!night_) return false;
        if (nightElapsed_ < eveningHours * 3600) return true;
        return morningHours > 0 && nightElapsed_ >= lastNightLength_ - morningHours * 3600.0;
    }
    if (mode == kDualTimer) {
        const int minute = static_cast<int>(secondOfDay / 60) % 1440;
        return InPeriod(settings.timerMinutes[0], settings.timerMinutes[1], minute) ||
               InPeriod(settings.timerMinutes[2], settings.timerMinutes[3], minute);
    }
    return mode == kAlwaysOn;
}

}  // namespace kestrane::sim
