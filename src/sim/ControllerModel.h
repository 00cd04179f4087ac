// The physical day of a charge controller: sun on a 12 V panel, a lead-acid
// battery, a lamp on the load output, temperatures and energy counters.
//
// The model is a pure function of its state, the settings registers and the
// simulated time step: it reads no clock and draws randomness only from its
// own seeded generator, so a test can step a whole day in milliseconds and a
// seed always replays the same day.
#pragma once

#include <cstdint>

#include "sim/LoadSwitch.h"
#include "sim/RegisterBank.h"
#include "sim/SimDateTime.h"
#include "sim/SimRandom.h"

namespace kestrane::sim {

// The world outside the controller; tests change it to provoke alarms.
struct Environment {
    double panelPeakWatts = 420;   // at full sun
    double panelOpenVolts = 21.6;  // per 12 V of system voltage, in daylight
    double batteryAmpHours = 100;
    double loadWatts = 48;    // what the load draws while switched on
    double pvMaxVolts = 100;  // input limit of the controller
};

enum ChargeState : int {
    kStandby = 0,
    kFastCharging = 1,
    kConstantVoltage = 2,
    kFloatCharging = 3,
    kChargeStart = 4,
    kEqualizing = 5,  // reported with the second constant-voltage code
};

namespace alarm {
inline constexpr uint16_t kBatteryOver = 0x001;
inline constexpr uint16_t kPvOver = 0x002;
inline constexpr uint16_t kLoadOverCurrent = 0x008;
inline constexpr uint16_t kBatteryTemperature = 0x010;
inline constexpr uint16_t kInnerTemperature = 0x020;
inline constexpr uint16_t kPvLow = 0x040;
inline constexpr uint16_t kBatteryLow = 0x080;
}  // namespace alarm

class ControllerModel {
public:
    ControllerModel(uint32_t seed, const SimDateTime& start);

    // Advances simulated time by `seconds` (in steps of at most ten seconds)
    // under the settings held in `bank`, then writes the measurements, the
    // energy counters and the load state into `bank`.
    void Step(double seconds, RegisterBank& bank);

    void SetClock(const SimDateTime& clock) { clock_ = clock; }
    const SimDateTime& Clock() const { return clock_; }
    void ClearEnergy();

    Environment& World() { return world_; }
    void SetStateOfCharge(double soc);
    double StateOfCharge() const { return soc_; }
    int State() const { return state_; }
    bool LoadOn() const { return loadOn_; }
    uint16_t Alarm() const { return alarm_; }
    double BatteryVolts() const { return batteryVolts_ * units_; }
    double PvVolts() const { return pvVolts_; }

private:
    struct Settings;
    static Settings ReadSettings(const RegisterBank& bank);
    void SubStep(double dt, const Settings& s);
    void StartNewDay();
    void UpdateChargeState(double dt, const Settings& s, bool canCharge);
    void UpdateBattery(double dt, const Settings& s, double availableWatts);
    void UpdateLoad(double dt, const Settings& s);
    void UpdateTemperatures(double dt);
    void Publish(RegisterBank& bank) const;

    SimRandom random_;
    SimDateTime clock_;
    Environment world_;
    LoadSwitch loadSwitch_;

    int units_ = 1;  // system voltage in steps of 12 V
    double cloud_ = 0.9;
    double flicker_ = 1.0;
    double ambientDrift_ = 0;
    double soc_ = 0.55;
    double polarisation_ = 0;
    double batteryVolts_ = 12.4;  // per 12 V unit
    double pvOpenVolts_ = 0;
    double pvVolts_ = 0;
    double chargeAmps_ = 0;
    double loadAmps_ = 0;
    double chargeTarget_ = 14.4;  // temperature-compensated, per 12 V unit
    double batteryTemp_ = 20;
    double innerTemp_ = 22;
    int state_ = kStandby;
    double stateSeconds_ = 0;
    bool equalizedToday_ = false;
    bool loadOn_ = false;
    bool lowVoltageCut_ = false;
    bool overVoltageCut_ = false;
    bool pvOverVoltage_ = false;
    double overCurrentHold_ = 0;
    uint16_t alarm_ = 0;
    double chargedToday_ = 0, chargedMonth_ = 0, chargedTotal_ = 0;
    double usedToday_ = 0, usedMonth_ = 0, usedTotal_ = 0;
};

}  // namespace kestrane::sim
