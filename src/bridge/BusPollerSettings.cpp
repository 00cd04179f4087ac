// The settings commands of a bus, carried out by its thread between device
// cycles: a check of a profile against the controller's last read, and a
// write that reads everything fresh first, keeps a backup, writes only the
// blocks that differ (serving the other controllers between them) and reads
// everything back. The checks, images, frames and sequence are the ones the
// window and `kestrane-cli settings apply` use.
#include <filesystem>

#include "bridge/BusPoller.h"
#include "bridge/BusPollerSlot.h"
#include "profile/ProfileEncoder.h"
#include "profile/ProfileSession.h"
#include "profile/SettingsWrite.h"

namespace kestrane::bridge {

namespace {

using nlohmann::json;
using Refusal = CommandOutcome::Refusal;

json ChangesJson(const std::vector<profile::FieldChange>& changes, const char* before,
                 const char* after) {
    json list = json::array();
    for (const profile::FieldChange& change : changes)
        list.push_back({{"field", profile::kProfileFields[change.field].path},
                        {before, change.from},
                        {after, change.to}});
    return list;
}

CommandOutcome Refused(Refusal refusal, std::string message, json detail = nullptr) {
    CommandOutcome outcome;
    outcome.message = std::move(message);
    outcome.refusal = refusal;
    outcome.detail = std::move(detail);
    return outcome;
}

std::string OtherModelText(bool english, const std::string& wanted, const std::string& actual) {
    return english
               ? "the profile is for model \"" + wanted + "\", the controller is \"" + actual + "\""
               : "配置文件适用于型号“" + wanted + "”，控制器是“" + actual + "”";
}

}  // namespace

json BusPoller::SettingsProblems(Slot& slot, const SettingsRequest& request) {
    SharedState& state = slot.device->State();
    state.SetLanguageFlag(request.english ? "ENGLISH" : "CHINESE");
    json problems = json::array();
    const std::string model = profile::ControllerModel(state.data);
    if (request.profile.model != model)
        problems.push_back(
            {{"field", "model"},
             {"message", OtherModelText(request.english, request.profile.model, model)}});
    for (const profile::FieldCheck& check : profile::WindowChecks(request.profile.values, state))
        problems.push_back(
            {{"field", profile::kProfileFields[check.field].path}, {"message", check.message}});
    if (problems.empty() && !profile::FillWriteImages(request.profile.values, state))
        problems.push_back(
            {{"field", ""}, {"message", "the window's handlers refused these values"}});
    return problems;
}

CommandOutcome BusPoller::CheckSettings(Slot& slot, const SettingsRequest& request) {
    if (slot.settings.is_null())
        return Refused(Refusal::kNotRead, "the controller's settings have not been read yet");
    json detail = {{"ok", false}, {"writes", json::array()}};
    detail["problems"] = SettingsProblems(slot, request);
    CommandOutcome outcome;
    outcome.announce = false;
    if (!detail["problems"].empty()) {
        outcome.refusal = Refusal::kChecks;
        outcome.message = "the settings fail their checks";
        outcome.detail = std::move(detail);
        return outcome;
    }
    for (const profile::WritePreview& preview : profile::PreviewWrites(*slot.device))
        detail["writes"].push_back({{"block", preview.block},
                                    {"code", preview.write.code},
                                    {"frames_hex", profile::Hex(preview.write.frame)},
                                    {"changes", ChangesJson(preview.changes, "from", "to")}});
    detail["ok"] = true;
    outcome.ok = true;
    outcome.message = "checked";
    outcome.detail = std::move(detail);
    return outcome;
}

CommandOutcome BusPoller::ApplySettings(Slot& slot, const SettingsRequest& request) {
    const auto changed = [&] {
        return Refused(
            Refusal::kChanged,
            "the controller's settings changed since they were read; nothing written",
            {{"changed", true}, {"profile", slot.settings}, {"read_at", slot.settingsReadAt}});
    };
    if (slot.settings.is_null())
        return Refused(Refusal::kNotRead, "the controller's settings have not been read yet");
    if (request.basedOn != slot.settingsReadAt) return changed();

    CBusDevice& device = *slot.device;
    if (const std::string missing = profile::ReadSettingsRetrying(*master_, device);
        !missing.empty())
        return Refused(Refusal::kNone,
                       "the controller did not answer the fresh read of its "
                       "settings (" +
                           missing + "); nothing written");
    if (RecordSettings(slot)) {
        Publish(slot);
        return changed();
    }
    if (json problems = SettingsProblems(slot, request); !problems.empty())
        return Refused(Refusal::kChecks, "the settings fail their checks; nothing written",
                       {{"problems", std::move(problems)}});

    const ControllerData& data = device.Data();
    std::string error;
    const auto backup =
        profile::BackupSettings(request.backupDirectory, data, std::time(nullptr), error);
    if (!backup) return Refused(Refusal::kNone, "no backup, so nothing written: " + error);
    const std::string backupName = std::filesystem::path(*backup).filename().string();

    std::vector<profile::PlannedWrite> writes;
    for (profile::WritePreview& preview : profile::PreviewWrites(device))
        writes.push_back(std::move(preview.write));
    json written = json::array();
    std::string failure;
    bool readBack = true;
    json mismatches = json::array();
    if (!writes.empty()) {
        failure = profile::SendPlannedWrites(
            *master_, device, writes,
            [&](const profile::PlannedWrite& write, const TransactionResult& result) {
                if (result.result == BusResult::kOk)
                    written.push_back(profile::BlockName(write.code));
            },
            [&] { PollOthers(slot); });
        std::string missing;
        if (const auto differing = profile::ReadBackDifferences(*master_, device, missing)) {
            mismatches = ChangesJson(profile::FieldChanges(data, *differing), "read", "expected");
            RecordSettings(slot);
        } else {
            readBack = false;
            failure += std::string(failure.empty() ? "" : "; ") +
                       "the settings could not be read back (" + missing + ")";
        }
        Publish(slot);
    }

    // The read-back decides: a write whose acknowledgement was lost on the
    // line but whose values the controller holds has done its job.
    CommandOutcome outcome;
    outcome.ok = readBack && mismatches.empty();
    if (writes.empty())
        outcome.message = "the controller already holds these settings; nothing written";
    else if (outcome.ok && failure.empty())
        outcome.message = "written; every field reads back as written";
    else if (outcome.ok)
        outcome.message = failure + "; yet every field reads back as written";
    else if (!failure.empty())
        outcome.message = failure;
    else
        outcome.message =
            "written, but " + std::to_string(mismatches.size()) + " field(s) read back differently";
    outcome.detail = {{"ok", outcome.ok},
                      {"backup", backupName},
                      {"message", outcome.message},
                      {"mismatches", std::move(mismatches)},
                      {"written", std::move(written)},
                      {"profile", slot.settings},
                      {"read_at", slot.settingsReadAt}};
    return outcome;
}

void BusPoller::PollOthers(const Slot& busy) {
    using Steady = std::chrono::steady_clock;
    if (Steady::now() < passStart_ + pollInterval_) return;
    passStart_ = Steady::now();
    for (auto& slot : slots_) {
        if (slot.get() == &busy) continue;
        if (stop_ || master_->LineClosed()) return;
        const bool resting = slot->failedCycles >= timing_.failedCyclesOffline;
        if (resting && Steady::now() < slot->nextProbe) continue;
        PollDevice(*slot);
    }
}

}  // namespace kestrane::bridge
