// The bridge as a whole: its status, the window's texts for the page, the
// live stream, and the page's own files.
#pragma once

#include "web/Router.h"
#include "web/WebSources.h"

namespace kestrane::web {

void RegisterBridgeRoutes(Router& router, const WebSources& sources);
void RegisterAssetRoutes(Router& router, const WebSources& sources);

}  // namespace kestrane::web
