// The process-wide record of everything read from the controller and of the
// write images that the write transactions send.
//
// Every value is a 32-bit integer that more than one thread touches (the
// receive worker stores, the monitor worker and the window thread read, the
// window thread fills the write images), so each one is a std::atomic. A reader
// may see a block half-updated, never a torn value. 16-bit registers are held
// zero-extended, the two temperatures sign-extended, 32-bit register pairs as
// one unsigned value (high word first on the wire). Text registers are held as
// the raw 16-bit words; TextCodec turns them into strings.
#pragma once

#include <atomic>
#include <cstdint>

namespace kestrane {

using AtomicValue = std::atomic<int32_t>;

struct ControllerData {
    // Block 0 (0x0000, 15 registers): real-time values, state, alarm.
    AtomicValue chargeState{0};
    AtomicValue pvVoltage{0};
    AtomicValue batteryVoltage{0};
    AtomicValue chargeCurrent{0};
    AtomicValue compVoltage{0};
    AtomicValue loadVoltage{0};
    AtomicValue loadCurrent{0};
    AtomicValue chargePower{0};
    AtomicValue loadPower{0};
    AtomicValue batteryTemperature{0};  // signed
    AtomicValue innerTemperature{0};    // signed
    AtomicValue spare000B{0};
    AtomicValue spare000C{0};  // 32-bit
    AtomicValue alarmCode{0};

    // Block 1 (0x0101, 10 registers): battery settings.
    AtomicValue batteryType{0};
    AtomicValue systemVoltageSetting{0};
    AtomicValue cvChargeVoltage{0};
    AtomicValue floatChargeVoltage{0};
    AtomicValue maxChargeCurrent{0};
    AtomicValue maxLoadCurrent{0};
    AtomicValue equalizeVoltage{0};
    AtomicValue equalizeMinutes{0};
    AtomicValue spare0109{0};
    AtomicValue systemVoltageUnits{0};

    // Block 2 (0x0907, 6 registers): lithium voltages.
    AtomicValue liChargeVoltage{0};
    AtomicValue liNominalVoltage{0};
    AtomicValue liLowVoltageProtect{0};
    AtomicValue liOverVoltageProtect{0};
    AtomicValue liLowVoltageRecover{0};
    AtomicValue liOverVoltageRecover{0};

    // Block 3 (0x0701, 6 registers; the first two are ignored): lead-acid protection.
    AtomicValue overVoltageProtect{0};
    AtomicValue overVoltageRecover{0};
    AtomicValue lowVoltageProtect{0};
    AtomicValue lowVoltageRecover{0};

    // Block 4 (0x0203, 19 registers): bus address and energy statistics.
    AtomicValue controllerAddress{0};
    AtomicValue spare0204{0};
    AtomicValue spare0205{0};
    AtomicValue chargedTodayWh{0};  // 32-bit, unsigned
    AtomicValue spare0208{0};       // 32-bit
    AtomicValue chargedMonthWh{0};  // 32-bit, unsigned
    AtomicValue spare020C{0};       // 32-bit
    AtomicValue chargedTotalWh{0};  // 32-bit, unsigned
    AtomicValue usedTodayWh{0};     // 32-bit, unsigned
    AtomicValue usedMonthWh{0};     // 32-bit, unsigned
    AtomicValue usedTotalWh{0};     // 32-bit, unsigned

    // Block 5 (0x0801, 18 registers): identity, raw text words (first character
    // in the low-order byte).
    static constexpr int kSerialWords = 8;
    static constexpr int kFirmwareWords = 2;
    static constexpr int kModelWords = 8;
    AtomicValue serialNumber[kSerialWords]{};
    AtomicValue firmwareVersion[kFirmwareWords]{};
    AtomicValue modelName[kModelWords]{};

    // Block 6 (0x0401, 15 registers): load control settings and load state.
    AtomicValue loadMode{0};
    AtomicValue morningOnCode{0};
    AtomicValue loadOnPvVoltage{0};
    AtomicValue loadOffPvVoltage{0};
    AtomicValue loadOnDelay{0};
    AtomicValue loadOffDelay{0};
    AtomicValue timer1OnHour{0};
    AtomicValue timer1OnMinute{0};
    AtomicValue timer1OffHour{0};
    AtomicValue timer1OffMinute{0};
    AtomicValue timer2OnHour{0};
    AtomicValue timer2OnMinute{0};
    AtomicValue timer2OffHour{0};
    AtomicValue timer2OffMinute{0};
    AtomicValue loadOutputOn{0};

    // Block 7 (0x0301, 12 registers): calibration ratios and offsets.
    AtomicValue pvVoltageRatio{0};
    AtomicValue pvVoltageOffset{0};
    AtomicValue batteryVoltageRatio{0};
    AtomicValue batteryVoltageOffset{0};
    AtomicValue chargeCurrentRatio{0};
    AtomicValue chargeCurrentOffset{0};
    AtomicValue loadCurrentRatio{0};
    AtomicValue loadCurrentOffset{0};
    AtomicValue loadVoltageRatio{0};
    AtomicValue loadVoltageOffset{0};
    AtomicValue compVoltageRatio{0};
    AtomicValue compVoltageOffset{0};

    // Write images, in register order; only the low 16 bits of each are sent.
    static constexpr int kBatteryWriteWords = 8;       // 0x0101-0x0108
    static constexpr int kLeadAcidWriteWords = 4;      // 0x0703-0x0706
    static constexpr int kLithiumWriteWords = 6;       // 0x0907-0x090C
    static constexpr int kLoadWriteWords = 14;         // 0x0401-0x040E
    static constexpr int kCalibrationWriteWords = 12;  // 0x0301-0x030C
    static constexpr int kClockWriteWords = 6;         // 0x0602-0x0607
    static constexpr int kIdentityWriteWords = 18;     // 0x0801-0x0812
    AtomicValue batteryWrite[kBatteryWriteWords]{};
    AtomicValue leadAcidWrite[kLeadAcidWriteWords]{};
    AtomicValue lithiumWrite[kLithiumWriteWords]{};
    AtomicValue loadWrite[kLoadWriteWords]{};
    AtomicValue newAddress{0};
    AtomicValue calibrationWrite[kCalibrationWriteWords]{};
    AtomicValue clockWrite[kClockWriteWords]{};
    AtomicValue identityWrite[kIdentityWriteWords]{};

    // Flags that make the monitor pass refresh an open service dialog.
    AtomicValue addressDialogRefresh{0};
    AtomicValue calibrationDialogRefresh{0};
    AtomicValue clockDialogRefresh{0};
    AtomicValue calibrationEditsReload{1};
};

}  // namespace kestrane
