// A controller's battery and load settings: read by anyone who may read,
// checked and written by an admin, with the backups a write leaves.
#pragma once

#include "web/Router.h"
#include "web/WebSources.h"

namespace kestrane::web {

void RegisterSettingsRoutes(Router& router, const WebSources& sources);

}  // namespace kestrane::web
