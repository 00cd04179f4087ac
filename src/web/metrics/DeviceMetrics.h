// The controllers' collector: every configured controller's latest values
// as the bridge last polled them, in base units, labelled by device id,
// configured name, bus index and address. Pure: snapshots in, text out.
#pragma once

#include <vector>

#include "bridge/DeviceBoard.h"
#include "web/metrics/MetricsText.h"

namespace kestrane::web::metrics {

// A controller that never answered has only kestrane_device_up 0.
void WriteDeviceMetrics(const std::vector<bridge::DeviceSnapshot>& devices, MetricsWriter& out);

}  // namespace kestrane::web::metrics
