// The controllers: their live values and the two commands an admin may give.
#pragma once

#include "web/Router.h"
#include "web/WebSources.h"

namespace kestrane::web {

void RegisterDeviceRoutes(Router& router, const WebSources& sources);

}  // namespace kestrane::web
