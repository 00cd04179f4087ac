#include "sim/FactoryDefaults.h"

#include <cstdint>
#include <cstdio>

namespace kestrane::sim {

namespace {

struct RegisterValue {
    uint16_t address;
    uint16_t value;
};

// A 12 V lead-acid battery of about 100 Ah with user-defined voltages, on a
// 40 A controller; voltages in tenths.
constexpr RegisterValue kSettings[] = {
    {reg::kBatteryType, 0},           {reg::kSystemVoltageSetting, 0},  // automatic detection
    {reg::kCvChargeVoltage, 144},     {reg::kFloatChargeVoltage, 138},
    {reg::kMaxChargeCurrent, 400},    {reg::kMaxLoadCurrent, 200},
    {reg::kEqualizeVoltage, 146},     {reg::kEqualizeMinutes, 120},
    {reg::kOverVoltageProtect, 160},  {reg::kOverVoltageRecover, 150},
    {reg::kLowVoltageProtect, 110},   {reg::kLowVoltageRecover, 122},
    {reg::kLiChargeVoltage, 142},     {reg::kLiNominalVoltage, 128},
    {reg::kLiLowVoltageProtect, 112}, {reg::kLiOverVoltageProtect, 146},
    {reg::kLiLowVoltageRecover, 120}, {reg::kLiOverVoltageRecover, 140},
    {reg::kLoadMode, 5100},           {reg::kMorningOnCode, 5200},
    {reg::kLoadOnPvVoltage, 50},      {reg::kLoadOffPvVoltage, 60},
    {reg::kLoadOnDelay, 5},           {reg::kLoadOffDelay, 5},
    {reg::kTimer1OnHour, 18},         {reg::kTimer1OnHour + 1, 30},
    {reg::kTimer1OnHour + 2, 23},     {reg::kTimer1OnHour + 3, 0},
    {reg::kTimer2OnHour, 5},          {reg::kTimer2OnHour + 1, 0},
    {reg::kTimer2OnHour + 2, 6},      {reg::kTimer2OnHour + 3, 30},
};

constexpr RegisterValue kFixed[] = {
    {reg::kSystemVoltageUnits, 1},
    {reg::kLeadAcidLimit1, 155},  // charge limit
    {reg::kLeadAcidLimit2, 132},  // boost return
};

constexpr unsigned long kFirstSerialNumber = 42;  // the number ending kFactorySerial

}  // namespace

std::string FactorySerialOf(size_t unit) {
    char text[32];
    std::snprintf(text, sizeof text, "KS2026A%09lu",
                  kFirstSerialNumber + static_cast<unsigned long>(unit));
    return text;
}

void ApplyFactorySettings(RegisterBank& bank) {
    for (const RegisterValue& item : kSettings)
        bank.Set(item.address, item.value);
}

void ApplyFactoryState(RegisterBank& bank) {
    ApplyFactorySettings(bank);
    for (const RegisterValue& item : kFixed)
        bank.Set(item.address, item.value);
    for (int pair = 0; pair < 6; ++pair) {
        bank.Set(static_cast<uint16_t>(reg::kPvVoltageRatio + 2 * pair), 1000);
        bank.Set(static_cast<uint16_t>(reg::kPvVoltageRatio + 2 * pair + 1), 0);
    }
    bank.SetText(reg::kSerialNumber, reg::kSerialWords, kFactorySerial);
    bank.SetText(reg::kFirmwareVersion, reg::kFirmwareWords, kFactoryFirmware);
    bank.SetText(reg::kModelName, reg::kModelWords, kFactoryModel);
}

}  // namespace kestrane::sim
