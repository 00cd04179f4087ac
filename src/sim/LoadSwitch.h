// Decides whether the load output should be on, from the configured load mode,
// the PV voltage (dusk and dawn) and the controller's clock.
#pragma once

#include <cstdint>

namespace kestrane::sim {

struct LoadSettings {
    int mode = 5100;           // 5100 light, 5101..5115 light with on-time, 5116 timers,
                               // 5117 always on, 5118 always off
    int morningOnCode = 5200;  // 5200 + hours before dawn (with 5101..5115)
    int onPvTenths = 50;       // dusk: PV below this
    int offPvTenths = 60;      // dawn: PV above this
    int onDelayMinutes = 5;
    int offDelayMinutes = 5;
    int timerMinutes[4] = {};  // timer 1 on, timer 1 off, timer 2 on, timer 2 off (minute of day)
};

class LoadSwitch {
public:
    static constexpr int kLightMode = 5100;
    static constexpr int kDualTimer = 5116;
    static constexpr int kAlwaysOn = 5117;
    static constexpr int kAlwaysOff = 5118;

    // Advances by `seconds` with the given PV voltage (tenths) and time of
    // day; returns whether the mode wants the load on.
    bool Step(const LoadSettings& settings, int pvTenths, double secondOfDay, double seconds);

    bool Night() const { return night_; }
    double NightElapsed() const { return nightElapsed_; }
    double LastNightLength() const { return lastNightLength_; }

private:
    static bool InPeriod(int onMinute, int offMinute, int minuteOfDay);

    bool night_ = false;
    double darkSeconds_ = 0;
    double lightSeconds_ = 0;
    double nightElapsed_ = 0;
    double lastNightLength_ = 12 * 3600.0;
};

}  // namespace kestrane::sim
