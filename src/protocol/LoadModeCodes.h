// The load modes of register 0x0401 and how a load write image is made from
// what was read: shared by the window's load SAVE and the bridge's load-mode
// command, so both send the same words.
#pragma once

#include <cstdint>

#include "protocol/ControllerData.h"

namespace kestrane {

// Entries of the load mode lists, in list order.
inline constexpr int kLightModeEntry = 0;
inline constexpr int kLightTimeModeEntry = 1;
inline constexpr int kDualTimerModeEntry = 2;
inline constexpr int kOnModeEntry = 3;
inline constexpr int kOffModeEntry = 4;
inline constexpr int kLoadModeEntries = 5;

// Mode codes of register 0x0401: 5100 light control, 5100 + evening hours
// (1..15) light control with fixed on-durations, 5116 dual timer, 5117 always
// on, 5118 always off. Register 0x0402 holds 5200 + hours before dawn.
inline constexpr int32_t kLightModeCode = 5100;
inline constexpr int32_t kLastLightTimeCode = 5115;
inline constexpr int32_t kMorningCodeBase = 5200;

// Slots of the load write image (registers 0x0401-0x040E).
inline constexpr int kLoadModeSlot = 0;
inline constexpr int kLoadMorningSlot = 1;

// The list entry of a mode code read from the controller, or -1.
int LoadModeEntry(int32_t loadMode);

// The code an entry writes. The light-and-time entry adds the evening hours
// to 5100 in unsigned arithmetic (only the low 16 bits are sent, and a huge
// typed number must not overflow); the others ignore them. -1 for no entry.
int32_t LoadModeCode(int entry, int32_t eveningHours);

// 5200 + hours before dawn, in the same unsigned arithmetic.
int32_t MorningCode(int32_t hoursBeforeDawn);

// Fills all fourteen slots of the load write image from the load settings
// last read (block 0x0401), so a write changes nothing it is not meant to.
void CopyLoadSettingsToWrite(ControllerData& data);

}  // namespace kestrane
