#include "profile/SettingsCommands.h"

#include <unistd.h>

#include <algorithm>

#include "platform/FileReplace.h"
#include "profile/ProfileBackup.h"
#include "profile/ProfileEncoder.h"
#include "profile/ProfileJson.h"
#include "profile/ProfileMessages.h"
#include "profile/ProfileSession.h"
#include "profile/SettingsWrite.h"
#include "protocol/RegisterMap.h"

namespace kestrane::profile {

namespace {

// The addresses in order, each once: a controller named twice is still read,
// backed up and written once.
std::vector<int> Unique(const std::vector<int>& addresses) {
    std::vector<int> unique;
    for (int address : addresses)
        if (std::find(unique.begin(), unique.end(), address) == unique.end())
            unique.push_back(address);
    return unique;
}

std::string Label(int address) {
    return "address " + std::to_string(address);
}

// The profile, or its errors printed one a line.
std::optional<Profile> Read(const std::string& text, const SettingsRun& run, std::ostream& err) {
    std::vector<ProfileError> errors;
    std::optional<Profile> profile = ReadProfile(text, run.english, errors);
    for (const ProfileError& error : errors)
        err << run.profileName << ": " << (error.field.empty() ? "" : error.field + ": ")
            << error.message << "\n";
    if (!errors.empty())
        err << run.profileName << ": " << MessagesIn(run.english).NothingWritten(errors.size())
            << "\n";
    return profile;
}

// Reads the controller at `address` and fills its write images from the
// profile. Null, with the reason printed, when it did not answer.
CBusDevice* Prepare(CBusMaster& bus, int address, const Profile& profile, bool english,
                    std::ostream& err) {
    CBusDevice& device = bus.Device(static_cast<uint8_t>(address));
    if (const std::string missing = ReadSettings(bus, device); !missing.empty()) {
        err << Label(address) << ": cannot read the settings: " << missing << "\n";
        return nullptr;
    }
    device.State().SetLanguageFlag(english ? "ENGLISH" : "CHINESE");
    // The profile passed the same checks before, so the handlers queue it.
    FillWriteImages(profile.values, device.State());
    return &device;
}

// Says so when the controller at `address` is another model than the profile's.
bool OtherModel(const Profile& profile, const CBusDevice& device, std::ostream& err) {
    const std::string model = ControllerModel(device.Data());
    if (model == profile.model) return false;
    err << Label(device.Address()) << ": the profile is for model \"" << profile.model
        << "\", the controller is \"" << model << "\"\n";
    return true;
}

bool WriteText(const std::string& path, const std::string& text) {
    return ReplaceFile(path, [&](int fd) {
        size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    });
}

// Sends the planned writes of one controller, saying what each did, until
// one fails.
bool SendWrites(CBusMaster& bus, CBusDevice& device, const std::vector<PlannedWrite>& writes,
                std::ostream& out, std::ostream& err) {
    const std::string label = Label(device.Address());
    const std::string failure = SendPlannedWrites(
        bus, device, writes, [&](const PlannedWrite& write, const TransactionResult& result) {
            if (result.result == BusResult::kOk)
                out << label << ": wrote " << BlockName(write.code) << "\n";
            else if (write.code == kBatteryTypeFrameCode)
                err << label << ": the battery-type frame got no answer\n";
        });
    if (!failure.empty()) err << label << ": " << failure << "\n";
    return failure.empty();
}

}  // namespace

std::string ExportPath(const std::string& path, int address, bool several) {
    if (!several) return path;
    const size_t dot = path.rfind('.');
    const size_t slash = path.rfind('/');
    const bool extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string suffix = "-" + std::to_string(address);
    return extension ? path.substr(0, dot) + suffix + path.substr(dot) : path + suffix;
}

int ExportSettings(CBusMaster& bus, const SettingsRun& run, std::ostream& out, std::ostream& err) {
    const bool several = Unique(run.addresses).size() > 1;
    int status = kSettingsDone;
    for (int address : Unique(run.addresses)) {
        CBusDevice& device = bus.Device(static_cast<uint8_t>(address));
        if (const std::string missing = ReadSettings(bus, device); !missing.empty()) {
            err << Label(address) << ": cannot read the settings: " << missing << "\n";
            status = kSettingsNoAnswer;
            continue;
        }
        const std::string text = ExportProfile(device.Data(), UtcStamp(run.now));
        if (run.outputPath.empty()) {
            out << text;
            continue;
        }
        const std::string path = ExportPath(run.outputPath, address, several);
        if (!WriteText(path, text)) {
            err << Label(address) << ": cannot write " << path << "\n";
            status = kSettingsRefused;
            continue;
        }
        out << Label(address) << ": " << path << "\n";
    }
    return status;
}

int DiffSettings(CBusMaster& bus, const std::string& profileText, const SettingsRun& run,
                 std::ostream& out, std::ostream& err) {
    const std::optional<Profile> profile = Read(profileText, run, err);
    if (!profile) return kSettingsRefused;
    const bool several = Unique(run.addresses).size() > 1;
    int status = kSettingsDone;
    for (int address : Unique(run.addresses)) {
        CBusDevice* device = Prepare(bus, address, *profile, run.english, err);
        if (!device) return kSettingsNoAnswer;
        OtherModel(*profile, *device, err);
        for (const std::string& line : DiffLines(device->Data(), DifferingFields(device->Data()))) {
            out << (several ? Label(address) + ": " : "") << line << "\n";
            status = kSettingsDiffer;
        }
    }
    return status;
}

int ApplySettings(CBusMaster& bus, const std::string& profileText, const SettingsRun& run,
                  std::ostream& out, std::ostream& err) {
    const std::optional<Profile> profile = Read(profileText, run, err);
    if (!profile) return kSettingsRefused;

    // Every controller is read, checked and backed up before anything is written.
    struct Target {
        CBusDevice* device;
        std::string backup;
        std::vector<PlannedWrite> writes;
    };
    std::vector<Target> targets;
    bool otherModel = false;
    for (int address : Unique(run.addresses)) {
        CBusDevice* device = Prepare(bus, address, *profile, run.english, err);
        if (!device) return kSettingsNoAnswer;
        otherModel = OtherModel(*profile, *device, err) || otherModel;
        targets.push_back({device, {}, {}});
    }
    if (otherModel && !run.force) {
        err << "nothing written; --force applies a profile to another model\n";
        return kSettingsRefused;
    }

    bool anyWrite = false;
    for (Target& target : targets) {
        const ControllerData& data = target.device->Data();
        const std::string label = Label(target.device->Address());
        std::string error;
        const auto backup = BackupSettings(run.backupDirectory, data, run.now, error);
        if (!backup) {
            err << label << ": no backup, so nothing written: " << error << "\n";
            return kSettingsRefused;
        }
        target.backup = *backup;
        out << label << ": backup " << target.backup << "\n";
        const std::vector<std::string> lines = DiffLines(data, DifferingFields(data));
        if (lines.empty()) out << label << ": already as the profile says\n";
        for (const std::string& line : lines)
            out << label << ": " << line << "\n";
        target.writes = PlanWrites(*target.device, DifferingBlocks(data));
        anyWrite = anyWrite || !target.writes.empty();
    }
    if (!anyWrite) return kSettingsDone;

    if (run.dryRun) {
        for (const Target& target : targets)
            for (const PlannedWrite& write : target.writes)
                out << Label(target.device->Address()) << ": would send " << Hex(write.frame)
                    << "\n";
        return kSettingsDone;
    }
    if (!run.yes) {
        const std::optional<bool> answer =
            run.confirm ? run.confirm("Write these settings? [y/N] ") : std::nullopt;
        if (!answer) {
            err << "nothing written: no terminal to confirm on; --yes writes without asking\n";
            return kSettingsRefused;
        }
        if (!*answer) {
            err << "nothing written\n";
            return kSettingsRefused;
        }
    }

    int status = kSettingsDone;
    for (const Target& target : targets) {
        if (target.writes.empty()) continue;
        CBusDevice& device = *target.device;
        const std::string label = Label(device.Address());
        const bool sent = SendWrites(bus, device, target.writes, out, err);
        std::vector<std::string> notTaken;
        std::string missing;
        if (const auto fields = ReadBackDifferences(bus, device, missing)) {
            for (size_t field : *fields)
                notTaken.push_back(std::string(kProfileFields[field].path));
        } else {
            err << label << ": cannot read the settings back: " << missing << "\n";
            notTaken.push_back("(not read back)");
        }
        if (sent && notTaken.empty()) {
            out << label << ": every field reads back as the profile says\n";
            continue;
        }
        status = kSettingsDiffer;
        std::string names;
        for (const std::string& name : notTaken)
            names += (names.empty() ? "" : ", ") + name;
        err << label << ": not taken: " << (names.empty() ? "(write refused)" : names)
            << "; undo with: settings apply " << target.backup << "\n";
    }
    return status;
}

}  // namespace kestrane::profile
