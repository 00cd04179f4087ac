// A controller's history from the bridge's history folder: day totals,
// bucketed series and a day's log file as it is.
#pragma once

#include "web/Router.h"
#include "web/WebSources.h"

namespace kestrane::web {

void RegisterHistoryRoutes(Router& router, const WebSources& sources);

}  // namespace kestrane::web
