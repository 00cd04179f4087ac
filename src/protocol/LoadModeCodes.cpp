#include "protocol/LoadModeCodes.h"

namespace kestrane {

namespace {

// The codes of the entries without hours, in list order; 0 for light-and-time.
constexpr int32_t kEntryCodes[kLoadModeEntries] = {kLightModeCode, 0, 5116, 5117, 5118};

// The read fields of registers 0x0401-0x040E, in register order.
using Field = AtomicValue ControllerData::*;
constexpr Field kLoadSettings[ControllerData::kLoadWriteWords] = {
    &ControllerData::loadMode,        &ControllerData::morningOnCode,
    &ControllerData::loadOnPvVoltage, &ControllerData::loadOffPvVoltage,
    &ControllerData::loadOnDelay,     &ControllerData::loadOffDelay,
    &ControllerData::timer1OnHour,    &ControllerData::timer1OnMinute,
    &ControllerData::timer1OffHour,   &ControllerData::timer1OffMinute,
    &ControllerData::timer2OnHour,    &ControllerData::timer2OnMinute,
    &ControllerData::timer2OffHour,   &ControllerData::timer2OffMinute,
};

int32_t WithBase(int32_t base, int32_t hours) {
    return static_cast<int32_t>(static_cast<uint32_t>(base) + static_cast<uint32_t>(hours));
}

}  // namespace

int LoadModeEntry(int32_t loadMode) {
    if (loadMode == kLightModeCode) return kLightModeEntry;
    if (loadMode > kLightModeCode && loadMode <= kLastLightTimeCode) return kLightTimeModeEntry;
    for (int entry = 0; entry < kLoadModeEntries; ++entry)
        if (entry != kLightTimeModeEntry && kEntryCodes[entry] == loadMode) return entry;
    return -1;
}

int32_t LoadModeCode(int entry, int32_t eveningHours) {
    if (entry < 0 || entry >= kLoadModeEntries) return -1;
    if (entry == kLightTimeModeEntry) return WithBase(kLightModeCode, eveningHours);
    return kEntryCodes[entry];
}

int32_t MorningCode(int32_t hoursBeforeDawn) {
    return WithBase(kMorningCodeBase, hoursBeforeDawn);
}

void CopyLoadSettingsToWrite(ControllerData& data) {
    for (int i = 0; i < ControllerData::kLoadWriteWords; ++i)
        data.loadWrite[i].store((data.*kLoadSettings[i]).load());
}

}  // namespace kestrane
