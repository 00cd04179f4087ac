// The battery parameters of the controller as the main window shows them: the
// battery type with its charge voltages, and the parameter layout, which
// switches between the lead-acid set and the lithium set.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "monitor/DisplayText.h"
#include "protocol/ControllerData.h"

namespace kestrane {

// The name of a battery type as 1088 shows it; "--" for an unknown type.
std::string BatteryTypeName(uint32_t batteryType, bool english);

// Every battery type that has a name, in table order.
std::vector<uint32_t> NamedBatteryTypes();

// Appends, in this order: the type name (1088) and its charge voltages (1089,
// 1098, 1090), then the lead-acid or lithium layout (values, units and the
// captions that change with it), then the two current limits (1091, 1096).
//
// FLD, SEL and GEL show fixed charge voltages whatever the controller reports.
// An unknown type shows "--" and leaves the three charge voltages as they were.
void AppendBatteryTexts(const ControllerData& data, bool english, std::vector<ControlText>& out);

}  // namespace kestrane
