#include "sim/ControllerModel.h"

#include <algorithm>
#include <cmath>

namespace kestrane::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMaxStep = 10.0;        // simulated seconds per model step
constexpr double kStartSeconds = 180.0;  // soft start before bulk charging
constexpr double kAbsorbSeconds = 2 * 3600.0;
constexpr double kInternalOhms = 0.015;  // per 12 V unit

// Charge voltages of the preset battery types (per 12 V unit): constant
// voltage, float, equalizing. Types 0, 4 and 5 use the settings registers.
struct Preset {
    int type;
    double cv, floatV, equalize;
};
constexpr Preset kPresets[] = {{1, 14.6, 13.8, 14.8}, {2, 14.4, 13.8, 14.6}, {3, 14.2, 13.8, 14.2}};

constexpr uint16_t kBatteryTypeLithium = 4;
constexpr uint16_t kBatteryTypeGel = 3;

int Tenths(double value) {
    return static_cast<int>(std::lround(value * 10));
}

uint16_t Calibrated(double trueValue, uint16_t ratio, uint16_t offset) {
    const double scaled = std::round(Tenths(trueValue) * (ratio / 1000.0));
    const double reported = scaled + static_cast<int16_t>(offset);
    return static_cast<uint16_t>(std::clamp(reported, 0.0, 65535.0));
}

}  // namespace

struct ControllerModel::Settings {
    int units = 1;
    int batteryType = 5;
    double cv = 14.4, floatV = 13.8, equalize = 14.6;  // per 12 V unit
    int equalizeMinutes = 120;
    double maxChargeAmps = 40, maxLoadAmps = 20;
    double overProtect = 16, overRecover = 15, lowProtect = 11, lowRecover = 12.2;
    LoadSettings load;
};

ControllerModel::ControllerModel(uint32_t seed, const SimDateTime& start)
    : random_(0x4B455354ULL ^ (static_cast<uint64_t>(seed) << 20)), clock_(start) {
    cloud_ = random_.Uniform(0.6, 1.0);
    batteryTemp_ = 13 - 11 * std::cos(2 * kPi * (clock_.month - 1) / 12.0);
    innerTemp_ = batteryTemp_ + 2;
}

ControllerModel::Settings ControllerModel::ReadSettings(const RegisterBank& bank) {
    Settings s;
    const int setting = bank.Get(reg::kSystemVoltageSetting);
    s.units = setting >= 1 && setting <= 16 ? setting : 1;  // automatic detection finds 12 V
    s.batteryType = bank.Get(reg::kBatteryType);
    const auto volts = [&](uint16_t address) { return bank.Get(address) / 10.0; };
    s.cv = volts(reg::kCvChargeVoltage);
    s.floatV = volts(reg::kFloatChargeVoltage);
    s.equalize = volts(reg::kEqualizeVoltage);
    for (const Preset& preset : kPresets) {
        if (preset.type == s.batteryType) {
            s.cv = preset.cv;
            s.floatV = preset.floatV;
            s.equalize = preset.equalize;
        }
    }
    s.equalizeMinutes = bank.Get(reg::kEqualizeMinutes);
    s.maxChargeAmps = bank.Get(reg::kMaxChargeCurrent) / 10.0;
    s.maxLoadAmps = bank.Get(reg::kMaxLoadCurrent) / 10.0;
    if (s.batteryType == kBatteryTypeLithium) {
        s.cv = volts(reg::kLiChargeVoltage);
        s.floatV = s.cv - 0.4;
        s.equalizeMinutes = 0;
        s.overProtect = volts(reg::kLiOverVoltageProtect);
        s.overRecover = volts(reg::kLiOverVoltageRecover);
        s.lowProtect = volts(reg::kLiLowVoltageProtect);
        s.lowRecover = volts(reg::kLiLowVoltageRecover);
    } else {
        s.overProtect = volts(reg::kOverVoltageProtect);
        s.overRecover = volts(reg::kOverVoltageRecover);
        s.lowProtect = volts(reg::kLowVoltageProtect);
        s.lowRecover = volts(reg::kLowVoltageRecover);
    }
    if (s.batteryType == kBatteryTypeGel) s.equalizeMinutes = 0;
    s.load.mode = bank.Get(reg::kLoadMode);
    s.load.morningOnCode = bank.Get(reg::kMorningOnCode);
    s.load.onPvTenths = bank.Get(reg::kLoadOnPvVoltage);
    s.load.offPvTenths = bank.Get(reg::kLoadOffPvVoltage);
    s.load.onDelayMinutes = bank.Get(reg::kLoadOnDelay);
    s.load.offDelayMinutes = bank.Get(reg::kLoadOffDelay);
    for (int i = 0; i < 4; ++i) {
        const uint16_t hour = bank.Get(static_cast<uint16_t>(reg::kTimer1OnHour + 2 * i));
        const uint16_t minute = bank.Get(static_cast<uint16_t>(reg::kTimer1OnHour + 2 * i + 1));
        s.load.timerMinutes[i] = hour * 60 + minute;
    }
    return s;
}

void ControllerModel::Step(double seconds, RegisterBank& bank) {
    const Settings settings = ReadSettings(bank);
    units_ = settings.units;
    double remaining = std::max(0.0, seconds);
    while (remaining > 0) {
        const double dt = std::min(remaining, kMaxStep);
        SubStep(dt, settings);
        remaining -= dt;
    }
    Publish(bank);
}

void ControllerModel::SetStateOfCharge(double soc) {
    soc_ = std::clamp(soc, 0.0, 1.0);
}

void ControllerModel::ClearEnergy() {
    chargedToday_ = chargedMonth_ = chargedTotal_ = 0;
    usedToday_ = usedMonth_ = usedTotal_ = 0;
}

void ControllerModel::StartNewDay() {
    chargedToday_ = usedToday_ = 0;
    if (clock_.day == 1) chargedMonth_ = usedMonth_ = 0;
    cloud_ = random_.Uniform(0.55, 1.0);
    equalizedToday_ = false;
}

void ControllerModel::SubStep(double dt, const Settings& s) {
    for (int midnights = clock_.Advance(dt); midnights > 0; --midnights)
        StartNewDay();

    // The sun rises at six and sets at six; twilight lets the PV voltage
    // climb and fall over a quarter of an hour or so.
    const double sun = std::sin(kPi * (clock_.HourOfDay() - 6) / 12);
    const double light = std::clamp((sun + 0.08) / 1.08, 0.0, 1.0);
    flicker_ += (random_.Uniform(0.85, 1.0) - flicker_) * std::min(1.0, dt / 300);
    const double availableWatts = world_.panelPeakWatts * std::max(0.0, sun) * cloud_ * flicker_;
    pvOpenVolts_ = light > 0
                       ? world_.panelOpenVolts * units_ * std::min(1.0, std::pow(light / 0.1, 0.4))
                       : random_.Uniform(0.0, 0.3);

    pvOverVoltage_ = pvOpenVolts_ > world_.pvMaxVolts;
    const double batteryReal = batteryVolts_ * units_;
    if (!overVoltageCut_ && batteryReal > s.overProtect * units_) overVoltageCut_ = true;
    if (overVoltageCut_ && batteryReal < s.overRecover * units_) overVoltageCut_ = false;
    const bool hot = batteryTemp_ > 55 || innerTemp_ > 80;
    const bool canCharge = pvOpenVolts_ > batteryReal + 0.5 && availableWatts > 1.0 &&
                           !overVoltageCut_ && !pvOverVoltage_ && !hot;

    UpdateChargeState(dt, s, canCharge);
    UpdateLoad(dt, s);
    UpdateBattery(dt, s, availableWatts);
    UpdateTemperatures(dt);

    const double chargeWatts = chargeAmps_ * batteryVolts_ * units_;
    pvVolts_ = pvOpenVolts_;
    if (availableWatts > 0 && chargeAmps_ > 0)
        pvVolts_ *= 1 - 0.19 * std::min(1.0, chargeWatts / availableWatts);
    const double loadWatts = loadAmps_ * batteryVolts_ * units_;
    chargedToday_ += chargeWatts * dt / 3600;
    chargedMonth_ += chargeWatts * dt / 3600;
    chargedTotal_ += chargeWatts * dt / 3600;
    usedToday_ += loadWatts * dt / 3600;
    usedMonth_ += loadWatts * dt / 3600;
    usedTotal_ += loadWatts * dt / 3600;

    alarm_ = 0;
    if (overVoltageCut_) alarm_ |= alarm::kBatteryOver;
    if (pvOverVoltage_) alarm_ |= alarm::kPvOver;
    if (overCurrentHold_ > 0) alarm_ |= alarm::kLoadOverCurrent;
    if (batteryTemp_ > 55) alarm_ |= alarm::kBatteryTemperature;
    if (innerTemp_ > 80) alarm_ |= alarm::kInnerTemperature;
    if (light > 0.5 && pvOpenVolts_ < batteryReal + 0.5) alarm_ |= alarm::kPvLow;
    if (lowVoltageCut_) alarm_ |= alarm::kBatteryLow;
}

void ControllerModel::UpdateChargeState(double dt, const Settings& s, bool canCharge) {
    const int before = state_;
    const bool equalizeDay = clock_.day == 1 || clock_.day == 15;
    if (!canCharge) {
        state_ = kStandby;
    } else {
        switch (state_) {
            case kStandby:
                state_ = kChargeStart;
                break;
            case kChargeStart:
                if (stateSeconds_ >= kStartSeconds) state_ = kFastCharging;
                break;
            case kFastCharging:
                if (batteryVolts_ >= chargeTarget_) {
                    const bool equalize = equalizeDay && !equalizedToday_ && s.equalizeMinutes > 0;
                    state_ = equalize ? kEqualizing : kConstantVoltage;
                }
                break;
            case kEqualizing:
                if (stateSeconds_ >= s.equalizeMinutes * 60.0) {
                    equalizedToday_ = true;
                    state_ = kConstantVoltage;
                }
                break;
            case kConstantVoltage: {
                const double batteryAmps = chargeAmps_ - loadAmps_;
                const bool tapered =
                    stateSeconds_ > 600 && batteryAmps < 0.02 * world_.batteryAmpHours;
                if (stateSeconds_ >= kAbsorbSeconds || tapered) state_ = kFloatCharging;
                break;
            }
            case kFloatCharging:
                if (batteryVolts_ < 12.5) state_ = kFastCharging;  // boost return
                break;
            default:
                state_ = kStandby;
        }
    }
    stateSeconds_ = state_ == before ? stateSeconds_ + dt : 0;
}

void ControllerModel::UpdateLoad(double dt, const Settings& s) {
    const bool wanted = loadSwitch_.Step(s.load, Tenths(pvVolts_), clock_.secondOfDay, dt);
    const double batteryReal = batteryVolts_ * units_;
    if (!lowVoltageCut_ && batteryReal < s.lowProtect * units_) lowVoltageCut_ = true;
    if (lowVoltageCut_ && batteryReal >= s.lowRecover * units_) lowVoltageCut_ = false;
    overCurrentHold_ = std::max(0.0, overCurrentHold_ - dt);
    loadOn_ = wanted && !lowVoltageCut_ && overCurrentHold_ <= 0;
    loadAmps_ =
        loadOn_ ? world_.loadWatts * (0.97 + 0.03 * flicker_) / std::max(1.0, batteryReal) : 0;
    if (loadAmps_ > s.maxLoadAmps) {
        overCurrentHold_ = 600;  // retry after ten minutes
        loadOn_ = false;
        loadAmps_ = 0;
    }
}

void ControllerModel::UpdateBattery(double dt, const Settings& s, double availableWatts) {
    const double capacity = world_.batteryAmpHours;
    const double compensation = s.batteryType == kBatteryTypeLithium
                                    ? 0
                                    : std::clamp(-0.018 * (batteryTemp_ - 25), -0.6, 0.6);
    double target = s.cv;
    if (state_ == kFloatCharging) target = s.floatV;
    if (state_ == kEqualizing) target = s.equalize;
    chargeTarget_ = s.cv + compensation;
    const double regulated = target + compensation;

    // Resting voltage: 12.8 V full, 11.7 V nearly empty, dropping fast below 15 %.
    const double open = 11.7 + 1.1 * soc_ - (soc_ < 0.15 ? 0.8 * (0.15 - soc_) / 0.15 : 0);
    const double batteryReal = batteryVolts_ * units_;
    const double possibleAmps =
        std::min(s.maxChargeAmps, availableWatts * 0.96 / std::max(1.0, batteryReal));
    switch (state_) {
        case kStandby:
            chargeAmps_ = 0;
            break;
        case kChargeStart:
            chargeAmps_ = std::min(possibleAmps, 0.1 * s.maxChargeAmps);
            break;
        case kFastCharging:
            chargeAmps_ = possibleAmps;
            break;
        default: {
            const double needed = (regulated - open - polarisation_) / kInternalOhms;
            const double wanted = std::clamp(needed + loadAmps_, 0.0, std::max(0.0, possibleAmps));
            // The regulator settles over about a minute rather than jumping.
            chargeAmps_ = std::min(possibleAmps,
                                   chargeAmps_ + (wanted - chargeAmps_) * std::min(1.0, dt / 60));
        }
    }
    const double batteryAmps = chargeAmps_ - loadAmps_;
    batteryVolts_ = open + polarisation_ + batteryAmps * kInternalOhms;

    // Surface charge: the voltage climbs steeply as the battery fills under
    // charge and sags under discharge, settling over a couple of minutes.
    const double chargeRate = std::min(1.0, std::max(0.0, batteryAmps) / (0.02 * capacity));
    const double dischargeRate = std::min(1.0, std::max(0.0, -batteryAmps) / (0.1 * capacity));
    const double settled = batteryAmps >= 0 ? 1.6 * std::pow(soc_, 8) * std::sqrt(chargeRate)
                                            : -0.3 * std::sqrt(dischargeRate);
    polarisation_ += (settled - polarisation_) * std::min(1.0, dt / 120);
    const double stored = batteryAmps > 0 ? 0.92 * batteryAmps : batteryAmps;
    soc_ = std::clamp(soc_ + stored * dt / 3600 / capacity, 0.0, 1.0);
}

void ControllerModel::UpdateTemperatures(double dt) {
    // Seasons from about 2 °C in January to 24 °C in July, six degrees of
    // daily swing and a slow random drift: winter nights go below zero.
    const double season =
        13 - 11 * std::cos(2 * kPi * ((clock_.month - 1) + (clock_.day - 1) / 31.0) / 12);
    ambientDrift_ =
        std::clamp(ambientDrift_ + random_.Uniform(-0.05, 0.05) * std::sqrt(dt), -3.0, 3.0);
    const double ambient =
        season + 6 * std::sin(2 * kPi * (clock_.HourOfDay() - 9) / 24) + ambientDrift_;
    const double batteryReal = batteryVolts_ * units_;
    const double heat = (chargeAmps_ + loadAmps_) * batteryReal * 0.03;
    batteryTemp_ += (ambient + 0.02 * heat - batteryTemp_) * std::min(1.0, dt / 3600);
    innerTemp_ += (ambient + 2 + heat - innerTemp_) * std::min(1.0, dt / 900);
}

void ControllerModel::Publish(RegisterBank& bank) const {
    const auto ratio = [&](int pair) {
        return bank.Get(static_cast<uint16_t>(reg::kPvVoltageRatio + 2 * pair));
    };
    const auto offset = [&](int pair) {
        return bank.Get(static_cast<uint16_t>(reg::kPvVoltageRatio + 2 * pair + 1));
    };
    const double batteryReal = batteryVolts_ * units_;
    const double loadVolts = loadOn_ ? batteryReal - 0.05 - loadAmps_ * 0.01 : 0;
    bank.Set(reg::kChargeState, static_cast<uint16_t>(state_));
    bank.Set(reg::kPvVoltage, Calibrated(pvVolts_, ratio(0), offset(0)));
    bank.Set(reg::kBatteryVoltage, Calibrated(batteryReal, ratio(1), offset(1)));
    bank.Set(reg::kChargeCurrent, Calibrated(chargeAmps_, ratio(2), offset(2)));
    bank.Set(reg::kLoadCurrent, Calibrated(loadAmps_, ratio(3), offset(3)));
    bank.Set(reg::kLoadVoltage, Calibrated(loadVolts, ratio(4), offset(4)));
    bank.Set(reg::kCompVoltage, Calibrated(chargeTarget_ * units_, ratio(5), offset(5)));
    bank.Set(reg::kChargePower, static_cast<uint16_t>(std::lround(chargeAmps_ * batteryReal)));
    bank.Set(reg::kLoadPower, static_cast<uint16_t>(std::lround(loadAmps_ * loadVolts)));
    bank.SetSigned(reg::kBatteryTemperature, static_cast<int>(std::lround(batteryTemp_)));
    bank.SetSigned(reg::kInnerTemperature, static_cast<int>(std::lround(innerTemp_)));
    bank.Set(reg::kAlarmCode, alarm_);
    bank.Set(reg::kSystemVoltageUnits, static_cast<uint16_t>(units_));
    bank.Set(reg::kLoadOutputOn, loadOn_ ? 1 : 0);
    const auto wh = [](double value) { return static_cast<uint32_t>(std::max(0.0, value)); };
    bank.Set32(reg::kChargedTodayWh, wh(chargedToday_));
    bank.Set32(reg::kChargedMonthWh, wh(chargedMonth_));
    bank.Set32(reg::kChargedTotalWh, wh(chargedTotal_));
    bank.Set32(reg::kUsedTodayWh, wh(usedToday_));
    bank.Set32(reg::kUsedMonthWh, wh(usedMonth_));
    bank.Set32(reg::kUsedTotalWh, wh(usedTotal_));
}

}  // namespace kestrane::sim
