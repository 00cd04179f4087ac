// The six calibration rows of the Data Correction dialog: which controls each
// row has, which live reading and which ratio and offset it calibrates, its
// least acceptable value and the message when a measurement is below it.
#pragma once

#include <cstdint>

#include "protocol/ControllerData.h"
#include "service/logic/ServiceControlIds.h"
#include "service/logic/ServiceText.h"

namespace kestrane {

struct CalibrationRow {
    AtomicValue ControllerData::*liveReading;
    AtomicValue ControllerData::*ratio;
    AtomicValue ControllerData::*offset;
    int ratioIndex;      // position of the ratio in calibrationWrite; the offset follows it
    int32_t minimum;     // in tenths, for the live reading and the measurement
    LanguageText label;  // row heading
    LanguageText unit;
    LanguageText tooLowMessage;
};

// Rows 1 to 6 in dialog order. Row r (0-based) uses the controls
// kFirstMeasuredEdit + r, kFirstOffsetEdit + r, kFirstConfirmButton + r,
// kFirstRatioStatic + r and kFirstOffsetStatic + r.
inline constexpr CalibrationRow kCalibrationRows[id::correction::kRowCount] = {
    {&ControllerData::pvVoltage,
     &ControllerData::pvVoltageRatio,
     &ControllerData::pvVoltageOffset,
     0,
     50,
     {"Input Volt.:", "输入电压："},
     {"V", "V"},
     {"Please ensure the PV voltage is more than 5V !", "非法操作，请确保PV电压大于5V！"}},
    {&ControllerData::batteryVoltage,
     &ControllerData::batteryVoltageRatio,
     &ControllerData::batteryVoltageOffset,
     2,
     50,
     {"Batt.  Volt.:", "电池电压："},
     {"V", "V"},
     {"Please ensure the BAT voltage is more than 5V !", "非法操作，请确保BAT电压大于5V！"}},
    {&ControllerData::loadVoltage,
     &ControllerData::loadVoltageRatio,
     &ControllerData::loadVoltageOffset,
     8,
     50,
     {"Load Volt.:", "负载电压："},
     {"V", "V"},
     {"Please ensure the Load voltage is more than 5V !", "非法操作，请确保Load电压大于5V！"}},
    {&ControllerData::chargeCurrent,
     &ControllerData::chargeCurrentRatio,
     &ControllerData::chargeCurrentOffset,
     4,
     1,
     {"CHG Curr.:", "充电电流："},
     {"A", "A"},
     {"Please ensure the CHG current is more than 0.1A !", "非法操作，请确保充电电流大于0.1A ！"}},
    {&ControllerData::loadCurrent,
     &ControllerData::loadCurrentRatio,
     &ControllerData::loadCurrentOffset,
     6,
     1,
     {"Load Curr.:", "负载电流："},
     {"A", "A"},
     {"Please ensure the load current is more than 0.1A !", "非法操作，请确保Load电流大于0.1A ！"}},
    {&ControllerData::compVoltage,
     &ControllerData::compVoltageRatio,
     &ControllerData::compVoltageOffset,
     10,
     50,
     {"Vcomp:", "补偿电压："},
     {"V", "V"},
     {"Please ensure the voltage is more than 5V !", "非法操作，请确保充电压大于5V ！"}},
};

}  // namespace kestrane
