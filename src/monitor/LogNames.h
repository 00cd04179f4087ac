// The texts the event log writes for the work mode and the error code. They
// differ from the window's texts and are the same in both languages; the log
// writer and the history reader share them.
#pragma once

#include <cstdint>

namespace kestrane {

struct LogName {
    uint32_t value;
    const char* text;
};

// Mode 4 is written as "CC CHG" like mode 1; any other mode as an empty field.
inline constexpr LogName kLogWorkModes[] = {
    {0, "Standby"}, {1, "CC CHG"}, {2, "CV CHG"}, {3, "CF CHG"}, {4, "CC CHG"},
};

// Only these single values have names; any other value is written in
// upper-case hexadecimal without prefix.
inline constexpr LogName kLogErrorCodes[] = {
    {0x000, "NormalRun"},       {0x001, "Bat_V_Over"},    {0x002, "PV_V_Over"},
    {0x004, "CHG_I_Over"},      {0x008, "DisCHG_I_Over"}, {0x010, "Bat_Temp_Over"},
    {0x020, "Inner_Temp_Over"}, {0x040, "PV_V_Low"},      {0x080, "Bat_V_Low"},
    {0x100, "TZ_Stop"},         {0x200, "Remote_Stop"},
};

inline constexpr const char* kLogNormalRun = "NormalRun";

}  // namespace kestrane
