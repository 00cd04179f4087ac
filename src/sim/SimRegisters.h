// The controller's register numbers and which of them a master may read or
// write. The table is the device's whole map: anything outside it is an
// illegal data address.
#pragma once

#include <cstdint>

namespace kestrane::sim {

namespace reg {
// Real-time block.
inline constexpr uint16_t kChargeState = 0x0000;
inline constexpr uint16_t kPvVoltage = 0x0001;
inline constexpr uint16_t kBatteryVoltage = 0x0002;
inline constexpr uint16_t kChargeCurrent = 0x0003;
inline constexpr uint16_t kCompVoltage = 0x0004;
inline constexpr uint16_t kLoadVoltage = 0x0005;
inline constexpr uint16_t kLoadCurrent = 0x0006;
inline constexpr uint16_t kChargePower = 0x0007;
inline constexpr uint16_t kLoadPower = 0x0008;
inline constexpr uint16_t kBatteryTemperature = 0x0009;
inline constexpr uint16_t kInnerTemperature = 0x000A;
inline constexpr uint16_t kSpare000B = 0x000B;
inline constexpr uint16_t kSpare000C = 0x000C;
inline constexpr uint16_t kAlarmCode = 0x000E;

// Battery settings.
inline constexpr uint16_t kBatteryType = 0x0101;
inline constexpr uint16_t kSystemVoltageSetting = 0x0102;
inline constexpr uint16_t kCvChargeVoltage = 0x0103;
inline constexpr uint16_t kFloatChargeVoltage = 0x0104;
inline constexpr uint16_t kMaxChargeCurrent = 0x0105;
inline constexpr uint16_t kMaxLoadCurrent = 0x0106;
inline constexpr uint16_t kEqualizeVoltage = 0x0107;
inline constexpr uint16_t kEqualizeMinutes = 0x0108;
inline constexpr uint16_t kSpare0109 = 0x0109;
inline constexpr uint16_t kSystemVoltageUnits = 0x010A;

// Bus address and energy statistics (32-bit values: high word first).
inline constexpr uint16_t kControllerAddress = 0x0203;
inline constexpr uint16_t kChargedTodayWh = 0x0206;
inline constexpr uint16_t kChargedMonthWh = 0x020A;
inline constexpr uint16_t kChargedTotalWh = 0x020E;
inline constexpr uint16_t kUsedTodayWh = 0x0210;
inline constexpr uint16_t kUsedMonthWh = 0x0212;
inline constexpr uint16_t kUsedTotalWh = 0x0214;

// Calibration: six ratio/offset pairs.
inline constexpr uint16_t kPvVoltageRatio = 0x0301;
inline constexpr uint16_t kBatteryVoltageRatio = 0x0303;
inline constexpr uint16_t kChargeCurrentRatio = 0x0305;
inline constexpr uint16_t kLoadCurrentRatio = 0x0307;
inline constexpr uint16_t kLoadVoltageRatio = 0x0309;
inline constexpr uint16_t kCompVoltageRatio = 0x030B;

// Load control.
inline constexpr uint16_t kLoadMode = 0x0401;
inline constexpr uint16_t kMorningOnCode = 0x0402;
inline constexpr uint16_t kLoadOnPvVoltage = 0x0403;
inline constexpr uint16_t kLoadOffPvVoltage = 0x0404;
inline constexpr uint16_t kLoadOnDelay = 0x0405;
inline constexpr uint16_t kLoadOffDelay = 0x0406;
inline constexpr uint16_t kTimer1OnHour = 0x0407;
inline constexpr uint16_t kTimer2OnHour = 0x040B;
inline constexpr uint16_t kLoadOutputOn = 0x040F;

// Command register and the six clock values that follow command 4.
inline constexpr uint16_t kCommand = 0x0601;
inline constexpr uint16_t kClockYear = 0x0602;

// Lead-acid protection voltages (0x0701 and 0x0702 carry fixed limits).
inline constexpr uint16_t kLeadAcidLimit1 = 0x0701;
inline constexpr uint16_t kLeadAcidLimit2 = 0x0702;
inline constexpr uint16_t kOverVoltageProtect = 0x0703;
inline constexpr uint16_t kOverVoltageRecover = 0x0704;
inline constexpr uint16_t kLowVoltageProtect = 0x0705;
inline constexpr uint16_t kLowVoltageRecover = 0x0706;

// Identity text: two characters per word, the first in the low-order byte.
inline constexpr uint16_t kSerialNumber = 0x0801;
inline constexpr int kSerialWords = 8;
inline constexpr uint16_t kFirmwareVersion = 0x0809;
inline constexpr int kFirmwareWords = 2;
inline constexpr uint16_t kModelName = 0x080B;
inline constexpr int kModelWords = 8;

// Lithium voltages.
inline constexpr uint16_t kLiChargeVoltage = 0x0907;
inline constexpr uint16_t kLiNominalVoltage = 0x0908;
inline constexpr uint16_t kLiLowVoltageProtect = 0x0909;
inline constexpr uint16_t kLiOverVoltageProtect = 0x090A;
inline constexpr uint16_t kLiLowVoltageRecover = 0x090B;
inline constexpr uint16_t kLiOverVoltageRecover = 0x090C;

// Command values of register 0x0601.
inline constexpr uint16_t kCommandSetClock = 4;
inline constexpr uint16_t kCommandRestore = 6;
}  // namespace reg

enum class RegisterAccess : uint8_t {
    kNone,       // not in the map
    kRead,       // measured or fixed: reads only
    kReadWrite,  // a setting: stored as written, read back
    kCommand,    // written only, acted on, never stored
};

struct RegisterRange {
    uint16_t first;
    uint16_t count;
    RegisterAccess access;
};

inline constexpr RegisterRange kRegisterRanges[] = {
    {0x0000, 15, RegisterAccess::kRead},       // real-time values
    {0x0101, 8, RegisterAccess::kReadWrite},   // battery settings
    {0x0109, 2, RegisterAccess::kRead},        // spare, system voltage in use
    {0x0203, 1, RegisterAccess::kReadWrite},   // bus address
    {0x0204, 18, RegisterAccess::kRead},       // energy statistics
    {0x0301, 12, RegisterAccess::kReadWrite},  // calibration
    {0x0401, 14, RegisterAccess::kReadWrite},  // load control
    {0x040F, 1, RegisterAccess::kRead},        // load output state
    {0x0601, 7, RegisterAccess::kCommand},     // command and clock values
    {0x0701, 2, RegisterAccess::kRead},        // fixed lead-acid limits
    {0x0703, 4, RegisterAccess::kReadWrite},   // lead-acid protection
    {0x0801, 18, RegisterAccess::kReadWrite},  // identity
    {0x0907, 6, RegisterAccess::kReadWrite},   // lithium voltages
};

// The eight blocks a master reads in turn, as start and count.
struct ReadBlock {
    uint16_t start;
    uint16_t count;
};

inline constexpr ReadBlock kReadBlocks[] = {
    {0x0000, 15}, {0x0101, 10}, {0x0907, 6},  {0x0701, 6},
    {0x0203, 19}, {0x0801, 18}, {0x0401, 15}, {0x0301, 12},
};

}  // namespace kestrane::sim
