// GET /metrics: the controllers and the bridge for a Prometheus server.
#pragma once

#include "web/Router.h"
#include "web/WebSources.h"

namespace kestrane::web {

void RegisterMetricsRoutes(Router& router, const WebSources& sources);

}  // namespace kestrane::web
