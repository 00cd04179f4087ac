#include "profile/SettingsWrite.h"

#include "profile/ProfileBackup.h"
#include "profile/ProfileEncoder.h"
#include "profile/ProfileJson.h"
#include "protocol/RegisterMap.h"

namespace kestrane::profile {

std::vector<FieldChange> FieldChanges(const ControllerData& data,
                                      const std::vector<size_t>& fields) {
    std::vector<FieldChange> changes;
    for (size_t index : fields) {
        const ProfileField& field = kProfileFields[index];
        const uint16_t record = RecordWord(data, field);
        const uint16_t image = ImageWord(data, field);
        changes.push_back({index, ShowValue(field, FieldFromWord(field, record), record),
                           ShowValue(field, FieldFromWord(field, image), image)});
    }
    return changes;
}

std::vector<WritePreview> PreviewWrites(CBusDevice& device) {
    const ControllerData& data = device.Data();
    const std::vector<FieldChange> changes = FieldChanges(data, DifferingFields(data));
    std::vector<WritePreview> previews;
    for (PlannedWrite& write : PlanWrites(device, DifferingBlocks(data))) {
        std::string block = BlockName(write.code);
        WritePreview preview{std::move(write), std::move(block), {}};
        for (const FieldChange& change : changes)
            if (kProfileFields[change.field].writeCode == preview.write.code)
                preview.changes.push_back(change);
        previews.push_back(std::move(preview));
    }
    return previews;
}

std::optional<std::string> BackupSettings(const std::string& directory, const ControllerData& data,
                                          std::time_t now, std::string& error) {
    return WriteBackup(directory, BackupName(ControllerSerial(data), now),
                       ExportProfile(data, UtcStamp(now)), error);
}

std::string SendPlannedWrites(CBusMaster& bus, CBusDevice& device,
                              const std::vector<PlannedWrite>& writes, const WriteReport& report,
                              const std::function<void()>& between) {
    for (size_t i = 0; i < writes.size(); ++i) {
        const PlannedWrite& write = writes[i];
        const TransactionResult result = bus.Transact(device, write.code);
        if (report) report(write, result);
        if (result.result != BusResult::kOk && write.code != kBatteryTypeFrameCode) {
            std::string failure = "writing " + BlockName(write.code) +
                                  " failed: " + std::string(BusResultName(result.result));
            if (result.result == BusResult::kException)
                failure += " (exception code " + std::to_string(int{result.exceptionCode}) + ")";
            return failure;
        }
        if (between && i + 1 < writes.size()) between();
    }
    return {};
}

std::optional<std::vector<size_t>> ReadBackDifferences(CBusMaster& bus, CBusDevice& device,
                                                       std::string& missing) {
    missing = ReadSettingsRetrying(bus, device);
    if (!missing.empty()) return std::nullopt;
    return DifferingFields(device.Data());
}

}  // namespace kestrane::profile
