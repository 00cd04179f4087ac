// GET /api/v1/bridge, GET /api/v1/texts and the live stream GET
// /api/v1/events, which starts with every controller's current state so a
// page that connects (or reconnects) is whole at once.
#include "web/routes/BridgeRoutes.h"

#include "web/DeviceObjects.h"
#include "web/UiTexts.h"

namespace kestrane::web {

namespace {

using nlohmann::json;

HttpResponse Events(const WebSources& sources) {
    std::shared_ptr<EventStream> stream = sources.events->Open();
    for (const bridge::DeviceSnapshot& device : sources.board->Devices())
        stream->SendEvent("state", DeviceObject(device).dump());
    return HttpResponse::Stream(std::move(stream));
}

}  // namespace

void RegisterBridgeRoutes(Router& router, const WebSources& sources) {
    router.Add("GET", "/api/v1/bridge", Access::kViewer, [&sources](const RouteContext&) {
        return HttpResponse::Json(200, sources.bridgeStatus().dump());
    });
    // The texts never change while the bridge runs: made once.
    router.Add(
        "GET", "/api/v1/texts", Access::kAnyone,
        [texts = UiTexts().dump()](const RouteContext&) { return HttpResponse::Json(200, texts); });
    router.Add("GET", "/api/v1/events", Access::kViewer,
               [&sources](const RouteContext&) { return Events(sources); });
}

}  // namespace kestrane::web
