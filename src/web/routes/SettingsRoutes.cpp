// GET    /api/v1/devices/{id}/settings          the profile as last read, its time, the fields
// POST   /api/v1/devices/{id}/settings/check    the window's checks and the planned writes
// POST   /api/v1/devices/{id}/settings/apply    backup, write, read back
// GET    /api/v1/devices/{id}/backups           this controller's backups, newest first
// GET    /api/v1/devices/{id}/backups/{name}    one of them as a profile object
// The profile is read and checked here first; the controller's own part
// (its last read, the images, the writes) runs on its bus thread.
#include "web/routes/SettingsRoutes.h"

#include <memory>
#include <variant>

#include "bridge/DeviceStateJson.h"
#include "profile/ProfileBackup.h"
#include "profile/ProfileJson.h"
#include "web/SettingsFields.h"
#include "web/WebErrors.h"

namespace kestrane::web {

namespace {

using nlohmann::json;
using Refusal = bridge::CommandOutcome::Refusal;

constexpr size_t kMaxBackupBytes = 64 * 1024;

bool English(const RouteContext& context) {
    const auto it = context.request.query.find("lang");
    return it == context.request.query.end() || it->second != "zh";
}

json ProblemsJson(const std::vector<profile::ProfileError>& errors) {
    json problems = json::array();
    for (const profile::ProfileError& error : errors)
        problems.push_back({{"field", error.field}, {"message", error.message}});
    return problems;
}

HttpResponse NoSuchController() {
    return MakeError(WebError::kNotFound, "no such controller");
}

HttpResponse ReadSettings(const RouteContext& context, const WebSources& sources) {
    const auto device = sources.board->Device(context.params.at("id"));
    if (!device) return NoSuchController();
    const bridge::DeviceUpdate& update = device->update;
    if (update.settings.is_null())
        return MakeError(WebError::kUnavailable,
                         "the controller's settings have not been read yet");
    return HttpResponse::Json(200, json{{"profile", update.settings},
                                        {"read_at", update.settingsReadAt},
                                        {"control", update.identity.allowControl},
                                        {"fields", SettingsFieldsJson()}}
                                       .dump());
}

// Queues a settings command and waits for its outcome; the answer for a
// refusal on the bus thread, or the outcome.
std::variant<HttpResponse, bridge::CommandOutcome> RunOnBus(
    const WebSources& sources, const std::string& deviceId, bridge::DeviceCommand::Kind kind,
    std::shared_ptr<const bridge::SettingsRequest> request) {
    bridge::DeviceCommand command;
    command.deviceId = deviceId;
    command.kind = kind;
    command.settings = std::move(request);
    bool queued = false;
    const auto outcome = sources.commands->Run(command, sources.settingsBound, &queued);
    if (!queued) return MakeError(WebError::kConflict, "the controller's bus did not take it");
    if (!outcome)
        return HttpResponse::Json(
            200, json{{"ok", false},
                      {"backup", nullptr},
                      {"message", "no outcome within " +
                                      std::to_string(sources.settingsBound.count() / 1000) +
                                      " s; the bus may still carry it out"}}
                     .dump());
    if (outcome->refusal == Refusal::kNotRead)
        return MakeError(WebError::kUnavailable, outcome->message);
    return *outcome;
}

HttpResponse CheckSettings(const RouteContext& context, const WebSources& sources) {
    const auto device = sources.board->Device(context.params.at("id"));
    if (!device) return NoSuchController();
    const bool english = English(context);
    std::vector<profile::ProfileError> errors;
    auto profile = profile::ReadProfile(context.request.body, english, errors);
    if (!profile)
        return HttpResponse::Json(
            200, json{{"ok", false}, {"problems", ProblemsJson(errors)}, {"writes", json::array()}}
                     .dump());
    auto request = std::make_shared<bridge::SettingsRequest>();
    request->profile = std::move(*profile);
    request->english = english;
    auto answer = RunOnBus(sources, device->update.identity.deviceId,
                           bridge::DeviceCommand::Kind::kCheckSettings, std::move(request));
    if (auto* response = std::get_if<HttpResponse>(&answer)) return std::move(*response);
    const auto& outcome = std::get<bridge::CommandOutcome>(answer);
    if (outcome.detail.is_null())
        return HttpResponse::Json(
            200, json{{"ok", false},
                      {"problems", json::array({{{"field", ""}, {"message", outcome.message}}})},
                      {"writes", json::array()}}
                     .dump());
    return HttpResponse::Json(200, outcome.detail.dump());
}

HttpResponse ApplySettings(const RouteContext& context, const WebSources& sources) {
    const auto device = sources.board->Device(context.params.at("id"));
    if (!device) return NoSuchController();
    if (!device->update.identity.allowControl)
        return MakeError(WebError::kConflict,
                         "control is not allowed for this controller (allow_control in the "
                         "bridge's config)");
    const json body = json::parse(context.request.body, nullptr, false);
    if (!body.is_object() || !body.contains("profile") || !body["profile"].is_object() ||
        !body.contains("based_on") || !body["based_on"].is_string())
        return MakeError(WebError::kBadRequest,
                         "expected {\"profile\": {...}, \"based_on\": \"<read_at>\"}");
    const bool english = English(context);
    std::vector<profile::ProfileError> errors;
    auto profile = profile::ReadProfile(body["profile"].dump(), english, errors);
    if (!profile)
        return MakeError(WebError::kUnprocessable,
                         "the settings fail their checks; nothing written",
                         {{"ok", false}, {"problems", ProblemsJson(errors)}});
    auto request = std::make_shared<bridge::SettingsRequest>();
    request->profile = std::move(*profile);
    request->basedOn = body["based_on"].get<std::string>();
    request->english = english;
    request->backupDirectory = sources.backupDirectory;
    auto answer = RunOnBus(sources, device->update.identity.deviceId,
                           bridge::DeviceCommand::Kind::kApplySettings, std::move(request));
    if (auto* response = std::get_if<HttpResponse>(&answer)) return std::move(*response);
    const auto& outcome = std::get<bridge::CommandOutcome>(answer);
    json detail = outcome.detail.is_object() ? outcome.detail : json::object();
    detail["ok"] = outcome.ok;
    if (outcome.refusal == Refusal::kChanged)
        return MakeError(WebError::kConflict, outcome.message, std::move(detail));
    if (outcome.refusal == Refusal::kChecks)
        return MakeError(WebError::kUnprocessable, outcome.message, std::move(detail));
    if (!detail.contains("backup")) detail["backup"] = nullptr;
    detail["message"] = outcome.message;
    if (!detail.contains("mismatches")) detail["mismatches"] = json::array();
    return HttpResponse::Json(200, detail.dump());
}

// The controller's serial number, which its backups are named after; empty
// before its identity was read.
std::string SerialOf(const bridge::DeviceSnapshot& device) {
    return device.update.identity.serialNumber;
}

HttpResponse ListBackups(const RouteContext& context, const WebSources& sources) {
    const auto device = sources.board->Device(context.params.at("id"));
    if (!device) return NoSuchController();
    json backups = json::array();
    if (!SerialOf(*device).empty())
        for (const profile::BackupEntry& entry :
             profile::ListBackups(sources.backupDirectory, SerialOf(*device))) {
            // The name holds whole seconds: the time without its milliseconds.
            const std::string stamp =
                bridge::IsoTimestamp(std::chrono::system_clock::from_time_t(entry.time));
            backups.push_back(
                {{"name", entry.name}, {"time", stamp.substr(0, 19) + stamp.substr(23)}});
        }
    return HttpResponse::Json(200, json{{"backups", backups}}.dump());
}

HttpResponse OneBackup(const RouteContext& context, const WebSources& sources) {
    const auto device = sources.board->Device(context.params.at("id"));
    if (!device) return NoSuchController();
    const std::string& name = context.params.at("name");
    // Only a name this controller's backups can have is looked for, and no
    // link is followed, so the request cannot reach any other file.
    const auto text = SerialOf(*device).empty()
                          ? std::nullopt
                          : profile::ReadBackup(sources.backupDirectory, name, SerialOf(*device),
                                                kMaxBackupBytes);
    if (!text) return MakeError(WebError::kNotFound, "no such backup");
    json profile = json::parse(*text, nullptr, false);
    if (!profile.is_object())
        return MakeError(WebError::kUnprocessable, "the backup is not a profile object");
    return HttpResponse::Json(200, json{{"profile", std::move(profile)}}.dump());
}

}  // namespace

void RegisterSettingsRoutes(Router& router, const WebSources& sources) {
    router.Add("GET", "/api/v1/devices/{id}/settings", Access::kViewer,
               [&sources](const RouteContext& c) { return ReadSettings(c, sources); });
    router.Add("POST", "/api/v1/devices/{id}/settings/check", Access::kAdmin,
               [&sources](const RouteContext& c) { return CheckSettings(c, sources); });
    router.Add("POST", "/api/v1/devices/{id}/settings/apply", Access::kAdmin,
               [&sources](const RouteContext& c) { return ApplySettings(c, sources); });
    router.Add("GET", "/api/v1/devices/{id}/backups", Access::kAdmin,
               [&sources](const RouteContext& c) { return ListBackups(c, sources); });
    router.Add("GET", "/api/v1/devices/{id}/backups/{name}", Access::kAdmin,
               [&sources](const RouteContext& c) { return OneBackup(c, sources); });
}

}  // namespace kestrane::web
