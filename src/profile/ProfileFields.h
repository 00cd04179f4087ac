// The settings a profile carries, one row per field: its name in the profile
// file, its unit, the parameter control of the main window it is typed into,
// the register it ends up in (write code and position in the write image) and
// the record field that register is read back into.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/ControllerData.h"

namespace kestrane::profile {

enum class Unit {
    kTenths,         // volts or amperes with one decimal; tenths in the register
    kWhole,          // minutes or hours, a whole number
    kBatteryType,    // a name of the battery type list
    kSystemVoltage,  // a name of the system voltage list
    kLoadMode,       // a name of the load mode list
};

// Which battery types or load modes make a field needed. A profile must give
// a needed field; a field that is not needed may be left out, and the
// controller's own value then stays.
enum class Need {
    kAlways,
    kLeadAcid,       // User-Diy, FLD, SEL, GEL
    kUserDiy,        // the charge voltages: preset types fix their own
    kLithium,        // Li-ion
    kLightModes,     // Light Mode and Light&Time Mode: the PV thresholds
    kLightMode,      // the delays
    kLightTimeMode,  // the two durations
    kDualTimerMode,  // the timer periods
};

using RecordField = AtomicValue ControllerData::*;

struct ProfileField {
    std::string_view path;  // "battery.type", "load.timer1.onHour"
    Unit unit;
    Need need;
    int controlId;
    int secondControlId;  // 0, or a control that shows the same register
    int writeCode;        // 10-13
    int slot;             // position in that code's write image
    RecordField record;
    // Numbers: the register holds codeBase + value, value in min..max.
    int32_t codeBase;
    int32_t min;
    int32_t max;
    std::string_view suffix;  // unit shown after a value: " V", " min"
};

inline constexpr size_t kFieldCount = 33;
extern const std::array<ProfileField, kFieldCount> kProfileFields;

// Index of the field with `path` in kProfileFields.
std::optional<size_t> FieldIndex(std::string_view path);

// Values of every field in register units (tenths, whole numbers, list
// entries); an empty one was left out of the profile.
using FieldValues = std::array<std::optional<int32_t>, kFieldCount>;

// Entries of the three lists as the window offers them.
inline constexpr std::array<std::string_view, 5> kBatteryTypeNames{"User-Diy", "FLD", "SEL", "GEL",
                                                                   "Li-ion"};
inline constexpr std::array<std::string_view, 5> kLoadModeNames{
    "Light Mode", "Light&Time Mode", "Dual Timer Mode", "On Mode", "Off Mode"};
inline constexpr int kSystemVoltageEntries = 41;  // "Auto", then 12 V steps to 480 V

// The name of list entry `index`, or empty for a value the list does not offer.
std::string EntryName(Unit unit, int32_t index);
// The entry a name stands for, or nothing.
std::optional<int32_t> EntryIndex(Unit unit, std::string_view name);

// Whether a profile of this battery type and load mode (list entries) needs the field.
bool IsNeeded(const ProfileField& field, int32_t batteryType, int32_t loadMode);

// The field's value held in a register word, or nothing when the word means
// something else (a mode code that is not Light&Time has no durations).
std::optional<int32_t> FieldFromWord(const ProfileField& field, uint16_t word);

// The field's value as read from the controller into `data`.
std::optional<int32_t> FieldFromRecord(const ProfileField& field, const ControllerData& data);

// "13.8 V", "Light Mode", "120 min"; a duration outside its mode "--", any
// other word without a field value the register's number.
std::string ShowValue(const ProfileField& field, std::optional<int32_t> value, uint16_t word);

}  // namespace kestrane::profile
