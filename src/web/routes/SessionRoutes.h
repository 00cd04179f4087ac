// POST /api/v1/login, POST /api/v1/logout, GET /api/v1/session.
#pragma once

#include "web/LoginThrottle.h"
#include "web/Router.h"

namespace kestrane::web {

// `throttle` must outlive the router.
void RegisterSessionRoutes(Router& router, LoginThrottle& throttle);

}  // namespace kestrane::web
