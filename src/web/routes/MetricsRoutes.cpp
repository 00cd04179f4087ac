// GET /metrics in the Prometheus text format, for a viewer (anyone while
// read_access is open): what the bridge last polled, never a password, hash
// or session. Made on each scrape from the device board and the bridge
// status; nothing is polled for it.
#include "web/routes/MetricsRoutes.h"

#include "web/metrics/BridgeMetrics.h"
#include "web/metrics/DeviceMetrics.h"

namespace kestrane::web {

void RegisterMetricsRoutes(Router& router, const WebSources& sources) {
    router.Add("GET", "/metrics", Access::kViewer, [&sources](const RouteContext&) {
        metrics::MetricsWriter out;
        metrics::WriteDeviceMetrics(sources.board->Devices(), out);
        if (sources.bridgeStatus) metrics::WriteBridgeMetrics(sources.bridgeStatus(), out);
        HttpResponse response;
        response.contentType = metrics::kContentType;
        response.body = out.Take();
        response.headers.emplace_back("Cache-Control", "no-store");
        return response;
    });
}

}  // namespace kestrane::web
