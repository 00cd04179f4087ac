// GET /api/v1/devices, GET /api/v1/devices/{id}, and the admin's commands
// POST /api/v1/devices/{id}/load_mode and /clock. A command goes through the
// same queue, write frames and read-back as the MQTT commands; the answer
// waits for its outcome, at most ten seconds.
#include "web/routes/DeviceRoutes.h"

#include <chrono>

#include "bridge/LoadModeOptions.h"
#include "web/DeviceObjects.h"
#include "web/WebErrors.h"

namespace kestrane::web {

namespace {

using nlohmann::json;

HttpResponse ListDevices(const WebSources& sources) {
    json devices = json::array();
    for (const bridge::DeviceSnapshot& device : sources.board->Devices())
        devices.push_back(DeviceObject(device));
    return HttpResponse::Json(200, json{{"devices", devices}}.dump());
}

HttpResponse OneDevice(const RouteContext& context, const WebSources& sources) {
    const auto device = sources.board->Device(context.params.at("id"));
    if (!device) return MakeError(WebError::kNotFound, "no such controller");
    return HttpResponse::Json(200, DeviceDetail(*device).dump());
}

HttpResponse RunCommand(const RouteContext& context, const WebSources& sources,
                        bridge::DeviceCommand command) {
    const auto device = sources.board->Device(context.params.at("id"));
    if (!device) return MakeError(WebError::kNotFound, "no such controller");
    if (!device->update.identity.allowControl)
        return MakeError(WebError::kConflict,
                         "control is not allowed for this controller (allow_control in the "
                         "bridge's config)");
    command.deviceId = device->update.identity.deviceId;
    bool queued = false;
    const auto outcome = sources.commands->Run(command, sources.commandBound, &queued);
    if (!queued) return MakeError(WebError::kConflict, "the controller's bus did not take it");
    if (!outcome)
        return HttpResponse::Json(
            200, json{{"ok", false},
                      {"message", "no outcome within " +
                                      std::to_string(sources.commandBound.count() / 1000) +
                                      " s; the bus may still carry it out"}}
                     .dump());
    json answer{{"ok", outcome->ok}, {"message", outcome->message}};
    // The page words this refusal in its own language.
    if (outcome->refusal == bridge::CommandOutcome::Refusal::kClockUnsynchronised)
        answer["refused"] = "clock_unsynchronised";
    return HttpResponse::Json(200, answer.dump());
}

HttpResponse SetLoadMode(const RouteContext& context, const WebSources& sources) {
    const json body = json::parse(context.request.body, nullptr, false);
    std::optional<bridge::LoadModeChoice> choice;
    if (body.is_object() && body.contains("mode") && body["mode"].is_string())
        choice = bridge::ParseLoadModeOption(body["mode"].get<std::string>());
    if (!choice)
        return MakeError(WebError::kBadRequest,
                         "expected {\"mode\": \"Light\"|\"Light&Time\"|\"Dual Timer\"|\"On\"|"
                         "\"Off\"}");
    bridge::DeviceCommand command;
    command.kind = bridge::DeviceCommand::Kind::kSetLoadMode;
    command.loadMode = *choice;
    return RunCommand(context, sources, command);
}

HttpResponse SetClock(const RouteContext& context, const WebSources& sources) {
    bridge::DeviceCommand command;
    command.kind = bridge::DeviceCommand::Kind::kSetClock;
    return RunCommand(context, sources, command);
}

}  // namespace

void RegisterDeviceRoutes(Router& router, const WebSources& sources) {
    router.Add("GET", "/api/v1/devices", Access::kViewer,
               [&sources](const RouteContext&) { return ListDevices(sources); });
    router.Add("GET", "/api/v1/devices/{id}", Access::kViewer,
               [&sources](const RouteContext& c) { return OneDevice(c, sources); });
    router.Add("POST", "/api/v1/devices/{id}/load_mode", Access::kAdmin,
               [&sources](const RouteContext& c) { return SetLoadMode(c, sources); });
    router.Add("POST", "/api/v1/devices/{id}/clock", Access::kAdmin,
               [&sources](const RouteContext& c) { return SetClock(c, sources); });
}

}  // namespace kestrane::web
