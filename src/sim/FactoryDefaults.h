// The values a controller leaves the factory with.
#pragma once

#include <cstddef>
#include <string>

#include "sim/RegisterBank.h"

namespace kestrane::sim {

inline constexpr const char* kFactorySerial = "KS2026A000000042";
inline constexpr const char* kFactoryFirmware = "V1.3";
inline constexpr const char* kFactoryModel = "KESTRANE-MPPT40A";

// The serial number of the `unit`-th controller of a batch, counted from 0;
// unit 0 carries kFactorySerial.
std::string FactorySerialOf(size_t unit);

// Battery, lead-acid, lithium and load settings: what command 6 restores.
void ApplyFactorySettings(RegisterBank& bank);

// Everything else a new controller holds: calibration, identity, fixed limits,
// plus the settings above. The bus address is the caller's.
void ApplyFactoryState(RegisterBank& bank);

}  // namespace kestrane::sim
