// The controller's register map as the transactions see it: which registers
// each read code asks for, which registers each write code fills and from which
// write image, and which code a queued write selector starts.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "protocol/ControllerData.h"

namespace kestrane {

// Transaction codes with a fixed meaning outside the tables below.
inline constexpr int kAddressScanCode = 14;
inline constexpr int kAddressWriteCode = 15;
inline constexpr int kBatteryTypeFrameCode = 50;
// The read code of the identity block: serial number, firmware, model.
inline constexpr int kIdentityReadCode = 5;

// Read transactions: function 3 from startRegister, registerCount registers.
struct ReadBlock {
    int code;
    uint16_t startRegister;
    uint16_t registerCount;
};

// The eight read blocks of the cycle (codes 0-7) and the address scan probe.
inline constexpr std::array<ReadBlock, 9> kReadBlocks{{
    {0, 0x0000, 15},
    {1, 0x0101, 10},
    {2, 0x0907, 6},
    {3, 0x0701, 6},
    {4, 0x0203, 19},
    {5, 0x0801, 18},
    {6, 0x0401, 15},
    {7, 0x0301, 12},
    {kAddressScanCode, 0x0000, 15},
}};

constexpr std::optional<ReadBlock> ReadBlockFor(int transactionCode) {
    for (const ReadBlock& block : kReadBlocks)
        if (block.code == transactionCode) return block;
    return std::nullopt;
}

// The read blocks the parameter edit fields are filled from: battery (0x0101),
// lithium (0x0907), lead-acid (0x0701) and load control (0x0401). Editing
// starts only from values that all came from the controller.
inline constexpr std::array<int, 4> kSettingsReadCodes{1, 2, 3, 6};

// pendingWrite selector 1..9 -> the write code it starts; anything else 0.
inline constexpr std::array<int, 9> kSelectorCodes{10, 11, 13, 14, 15, 16, 17, 18, 19};

constexpr int WriteCodeForSelector(int pendingWrite) {
    if (pendingWrite < 1 || pendingWrite > static_cast<int>(kSelectorCodes.size())) return 0;
    return kSelectorCodes[static_cast<size_t>(pendingWrite - 1)];
}

// Where a write takes its data words from: the first value of a write image.
using WriteImage = const AtomicValue* (*)(const ControllerData&);

// Write transactions. A multiple-register write (function 16) sends
// registerCount words: fixedFirstWord first when it is not kNoFixedWord, then
// the image. A single-register write (function 6) sends one value: the fixed
// word, or else the first value of the image.
struct WriteBlock {
    int code;
    bool singleRegister;
    uint16_t startRegister;
    uint16_t registerCount;
    int32_t fixedFirstWord;
    WriteImage image;
};

inline constexpr int32_t kNoFixedWord = -1;

// Register 0x0601 is a command register: 6 restores the factory settings,
// 4 followed by six clock values sets the controller's clock.
inline constexpr int32_t kRestoreFactoryCommand = 6;
inline constexpr int32_t kSetClockCommand = 4;

inline constexpr std::array<WriteBlock, 9> kWriteBlocks{{
    {10, false, 0x0101, 8, kNoFixedWord,
     [](const ControllerData& d) -> const AtomicValue* { return d.batteryWrite; }},
    {11, false, 0x0703, 4, kNoFixedWord,
     [](const ControllerData& d) -> const AtomicValue* { return d.leadAcidWrite; }},
    {12, false, 0x0907, 6, kNoFixedWord,
     [](const ControllerData& d) -> const AtomicValue* { return d.lithiumWrite; }},
    {13, false, 0x0401, 14, kNoFixedWord,
     [](const ControllerData& d) -> const AtomicValue* { return d.loadWrite; }},
    {kAddressWriteCode, true, 0x0203, 1, kNoFixedWord,
     [](const ControllerData& d) -> const AtomicValue* { return &d.newAddress; }},
    {16, false, 0x0301, 12, kNoFixedWord,
     [](const ControllerData& d) -> const AtomicValue* { return d.calibrationWrite; }},
    {17, true, 0x0601, 1, kRestoreFactoryCommand, nullptr},
    {18, false, 0x0601, 7, kSetClockCommand,
     [](const ControllerData& d) -> const AtomicValue* { return d.clockWrite; }},
    {19, false, 0x0801, 18, kNoFixedWord,
     [](const ControllerData& d) -> const AtomicValue* { return d.identityWrite; }},
}};

constexpr std::optional<WriteBlock> WriteBlockFor(int transactionCode) {
    for (const WriteBlock& block : kWriteBlocks)
        if (block.code == transactionCode) return block;
    return std::nullopt;
}

}  // namespace kestrane
