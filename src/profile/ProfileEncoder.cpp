#include "profile/ProfileEncoder.h"

#include "profile/ProfileControls.h"
#include "protocol/RegisterMap.h"
#include "settings/logic/BatteryParameters.h"
#include "settings/logic/LoadControl.h"

namespace kestrane::profile {

namespace {

// The order in which the window's SAVEs send the blocks.
constexpr int kBlockOrder[] = {11, 12, 10, 13};
constexpr int kMorningSlot = 1;

std::optional<size_t> FieldOfControl(int id) {
    for (size_t i = 0; i < kProfileFields.size(); ++i)
        if (kProfileFields[i].controlId == id || kProfileFields[i].secondControlId == id) return i;
    return std::nullopt;
}

}  // namespace

std::vector<FieldCheck> WindowChecks(const FieldValues& values, SharedState& state) {
    ProfileControls controls(values, state.data);
    FieldProblems problems = BatteryParameters(controls, state).Check();
    for (FieldProblem& problem : LoadControl(controls, state).Check())
        problems.push_back(std::move(problem));

    std::vector<FieldCheck> checks;
    for (FieldProblem& problem : problems)
        if (const auto field = FieldOfControl(problem.controlId))
            checks.push_back({*field, std::move(problem.message)});
    return checks;
}

bool FillWriteImages(const FieldValues& values, SharedState& state) {
    if (!WindowChecks(values, state).empty()) return false;
    ControllerData& data = state.data;
    // What that slot held before the SAVE: the profile's hours when it gives
    // them, so that a backup puts them back whatever its mode.
    const ProfileField& morning = kProfileFields[*FieldIndex("load.morningHours")];
    const std::optional<int32_t> hours = values[*FieldIndex("load.morningHours")];
    data.loadWrite[kMorningSlot] = hours ? morning.codeBase + *hours : data.morningOnCode.load();
    ProfileControls controls(values, data);
    BatteryParameters(controls, state).Save(true);
    LoadControl(controls, state).Save();
    // Nothing here is queued for an engine: the caller sends the images.
    state.pendingWrite = 0;
    return controls.Messages().empty();
}

uint16_t ImageWord(const ControllerData& data, const ProfileField& field) {
    const AtomicValue* image = WriteBlockFor(field.writeCode)->image(data);
    return static_cast<uint16_t>(image[field.slot].load());
}

uint16_t RecordWord(const ControllerData& data, const ProfileField& field) {
    return static_cast<uint16_t>((data.*field.record).load());
}

std::vector<int> DifferingBlocks(const ControllerData& data) {
    std::vector<int> codes;
    for (int code : kBlockOrder) {
        for (const ProfileField& field : kProfileFields) {
            if (field.writeCode == code && ImageWord(data, field) != RecordWord(data, field)) {
                codes.push_back(code);
                break;
            }
        }
    }
    return codes;
}

std::vector<size_t> DifferingFields(const ControllerData& data) {
    std::vector<size_t> fields;
    const bool userDefined = data.batteryWrite[0].load() == BatteryParameters::kUserDiy;
    for (size_t i = 0; i < kProfileFields.size(); ++i) {
        const ProfileField& field = kProfileFields[i];
        // A preset type's charge voltages are the controller's to set, and
        // it may report its own once the type has taken effect.
        if (field.need == Need::kUserDiy && !userDefined) continue;
        const uint16_t image = ImageWord(data, field);
        const uint16_t record = RecordWord(data, field);
        if (image == record) continue;
        // The mode code carries two fields; name only the one that changes.
        if (FieldFromWord(field, image) == FieldFromWord(field, record) && field.writeCode == 13 &&
            field.slot == 0)
            continue;
        fields.push_back(i);
    }
    return fields;
}

}  // namespace kestrane::profile
