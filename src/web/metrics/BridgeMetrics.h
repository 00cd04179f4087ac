// The bridge's own collector: version, uptime, each bus's line and pass
// time, the broker connection and the history writer's counters, read from
// the bridge status object (BridgeStatusJson). Paths and error texts in that
// object stay out.
#pragma once

#include <nlohmann/json.hpp>

#include "web/metrics/MetricsText.h"

namespace kestrane::web::metrics {

void WriteBridgeMetrics(const nlohmann::json& status, MetricsWriter& out);

}  // namespace kestrane::web::metrics
