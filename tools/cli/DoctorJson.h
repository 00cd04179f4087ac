// The link doctor's findings as JSON: one port's facts, and the whole
// report as one document for attaching to a support request.
#pragma once

#include <nlohmann/json.hpp>

#include "doctor/DoctorReport.h"
#include "doctor/PortInfo.h"

namespace kestrane::cli {

nlohmann::ordered_json PortJson(const PortInfo& port);

// `withTrace`: include every frame both ways.
nlohmann::ordered_json DoctorJson(const DoctorReport& report, bool withTrace);

}  // namespace kestrane::cli
