#include "profile/ProfileJson.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <nlohmann/json.hpp>
#include <set>

#include "profile/ProfileEncoder.h"
#include "profile/ProfileMessages.h"
#include "protocol/SharedState.h"
#include "protocol/TextCodec.h"
#include "settings/logic/BatteryParameters.h"

namespace kestrane::profile {

namespace {

using nlohmann::json;
using nlohmann::ordered_json;

constexpr std::string_view kIdentityKeys[] = {"model", "serialNumber", "firmware", "exportedAt"};

// Whether `path` is an object of the file: a section or a timer period.
bool IsGroup(std::string_view path) {
    for (const ProfileField& field : kProfileFields)
        if (field.path.size() > path.size() && field.path.substr(0, path.size()) == path &&
            field.path[path.size()] == '.')
            return true;
    return false;
}

std::string Trimmed(std::string text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Controller texts are bytes; invalid UTF-8 becomes U+FFFD so the file stays JSON.
std::string AsUtf8(const std::string& bytes) {
    return json::parse(json(bytes).dump(-1, ' ', false, json::error_handler_t::replace))
        .get<std::string>();
}

class Reader {
public:
    Reader(const Messages& text, std::vector<ProfileError>& errors)
        : text_(text), errors_(errors) {}

    void Root(const json& root, Profile& profile) {
        bool formatSeen = false;
        bool modelSeen = false;
        for (const auto& [key, value] : root.items()) {
            if (key == "format") {
                formatSeen = true;
                if (!value.is_number_integer() || value.get<long long>() != kFormatVersion)
                    Error(key, text_.Format(value.dump(), kFormatVersion));
                continue;
            }
            if (std::find(std::begin(kIdentityKeys), std::end(kIdentityKeys), key) !=
                std::end(kIdentityKeys)) {
                modelSeen = modelSeen || key == "model";
                if (!value.is_string()) {
                    Error(key, text_.ExpectedText(value.type_name()));
                    continue;
                }
                if (key == "model") {
                    profile.model = Trimmed(value.get<std::string>());
                } else if (key == "serialNumber") {
                    profile.serialNumber = value.get<std::string>();
                } else if (key == "firmware") {
                    profile.firmware = value.get<std::string>();
                } else {
                    profile.exportedAt = value.get<std::string>();
                }
                continue;
            }
            Group(key, value, profile.values);
        }
        if (!formatSeen) Error("format", text_.Missing());
        if (!modelSeen) Error("model", text_.Missing());
    }

    void Needs(FieldValues& values) {
        const auto typeIndex = *FieldIndex("battery.type");
        const auto modeIndex = *FieldIndex("load.mode");
        const std::optional<int32_t> type = values[typeIndex];
        const std::optional<int32_t> mode = values[modeIndex];
        for (size_t i = 0; i < kProfileFields.size(); ++i) {
            const ProfileField& field = kProfileFields[i];
            if (values[i] || erred_[i]) continue;
            if (field.need == Need::kAlways) {
                Error(i, text_.Missing());
                continue;
            }
            const bool byMode = field.path.substr(0, 5) == "load.";
            const std::optional<int32_t> decider = byMode ? mode : type;
            if (!decider || !IsNeeded(field, type.value_or(-1), mode.value_or(-1))) continue;
            Error(i, byMode ? text_.NeededByMode(EntryName(Unit::kLoadMode, *mode))
                            : text_.NeededByType(EntryName(Unit::kBatteryType, *type)));
        }
    }

    // The order the controller's lead-acid block must keep to be read back:
    // over-voltage protection not below the under-voltage protection, each
    // recovery on the safe side of its protection.
    void ProtectionOrder(const FieldValues& values) {
        const size_t over = *FieldIndex("leadAcid.overVoltageProtect");
        const size_t overRecover = *FieldIndex("leadAcid.overVoltageRecover");
        const size_t low = *FieldIndex("leadAcid.lowVoltageProtect");
        const size_t lowRecover = *FieldIndex("leadAcid.lowVoltageRecover");
        for (size_t i : {over, overRecover, low, lowRecover})
            if (!values[i]) return;
        const std::string overName(kProfileFields[over].path);
        const std::string lowName(kProfileFields[low].path);
        if (*values[over] < *values[low]) Error(over, text_.NotBelow(lowName));
        if (*values[overRecover] > *values[over]) Error(overRecover, text_.NotAbove(overName));
        if (*values[lowRecover] < *values[low]) Error(lowRecover, text_.NotBelow(lowName));
    }

    void Checks(const std::vector<FieldCheck>& checks) {
        for (const FieldCheck& check : checks)
            if (!erred_[check.field]) Error(check.field, check.message);
    }

private:
    void Group(const std::string& path, const json& value, FieldValues& values) {
        if (const auto index = FieldIndex(path)) {
            Value(*index, value, values);
            return;
        }
        if (!IsGroup(path)) {
            Error(path, text_.UnknownKey());
            return;
        }
        if (!value.is_object()) {
            Error(path, text_.ExpectedObject(value.type_name()));
            // Its fields are not reported missing as well.
            for (size_t i = 0; i < kProfileFields.size(); ++i)
                if (kProfileFields[i].path.substr(0, path.size() + 1) == path + ".")
                    erred_[i] = true;
            return;
        }
        for (const auto& [key, member] : value.items())
            Group(path + "." + key, member, values);
    }

    void Value(size_t index, const json& value, FieldValues& values) {
        const ProfileField& field = kProfileFields[index];
        switch (field.unit) {
            case Unit::kTenths: {
                if (!value.is_number())
                    return Error(index, text_.ExpectedNumber(value.type_name()));
                const double number = value.get<double>();
                const double tenths = std::round(number * 10);
                if (std::fabs(number * 10 - tenths) > 1e-6)
                    return Error(index, text_.OneDecimal(value.dump()));
                if (tenths < field.min || tenths > field.max)
                    return Error(index, text_.OutOfRange(value.dump(), field.min / 10.0,
                                                         field.max / 10.0, true));
                values[index] = static_cast<int32_t>(tenths);
                return;
            }
            case Unit::kWhole: {
                if (!value.is_number_integer())
                    return Error(index, text_.ExpectedWhole(value.dump()));
                // The parser keeps non-negative numbers unsigned, negative ones signed.
                const bool inRange =
                    value.is_number_unsigned()
                        ? value.get<unsigned long long>() <= static_cast<unsigned>(field.max) &&
                              value.get<long long>() >= field.min
                        : value.get<long long>() >= field.min &&
                              value.get<long long>() <= field.max;
                if (!inRange)
                    return Error(index,
                                 text_.OutOfRange(value.dump(), field.min, field.max, false));
                values[index] = static_cast<int32_t>(value.get<long long>());
                return;
            }
            default: {
                if (!value.is_string()) return Error(index, text_.ExpectedText(value.type_name()));
                const auto entry = EntryIndex(field.unit, value.get<std::string>());
                if (!entry)
                    return Error(index, text_.NotAnEntry(value.get<std::string>(), field.unit));
                values[index] = *entry;
                return;
            }
        }
    }

    void Error(size_t index, std::string message) {
        erred_[index] = true;
        errors_.push_back({std::string(kProfileFields[index].path), std::move(message)});
    }
    void Error(const std::string& path, std::string message) {
        errors_.push_back({path, std::move(message)});
    }

    const Messages& text_;
    std::vector<ProfileError>& errors_;
    std::array<bool, kFieldCount> erred_{};
};

// The keys that appear twice in one object, as paths ("leadAcid.floatVoltage"):
// the parser would keep the last value without a word.
class DuplicateKeys {
public:
    bool operator()(int, json::parse_event_t event, json& parsed) {
        switch (event) {
            case json::parse_event_t::object_start:
                objects_.push_back({objects_.empty()
                                        ? std::string()
                                        : Join(objects_.back().path, objects_.back().lastKey),
                                    {},
                                    {}});
                break;
            case json::parse_event_t::object_end:
                if (!objects_.empty()) objects_.pop_back();
                break;
            case json::parse_event_t::key: {
                if (objects_.empty()) break;
                Object& object = objects_.back();
                object.lastKey = parsed.get<std::string>();
                if (!object.keys.insert(object.lastKey).second)
                    duplicates.push_back(Join(object.path, object.lastKey));
                break;
            }
            default:
                break;
        }
        return true;
    }

    std::vector<std::string> duplicates;

private:
    struct Object {
        std::string path;
        std::set<std::string> keys;
        std::string lastKey;
    };
    static std::string Join(const std::string& path, const std::string& key) {
        return path.empty() ? key : path + "." + key;
    }
    std::vector<Object> objects_;
};

// "line 3, column 14" from the byte the parser stopped at (counted from 1).
std::string WhereInText(std::string_view text, size_t byte, const Messages& messages) {
    const size_t end = std::min(byte > 0 ? byte - 1 : 0, text.size());
    size_t line = 1;
    size_t lineStart = 0;
    for (size_t i = 0; i < end; ++i) {
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    return messages.Where(line, end - lineStart + 1);
}

// The parser's own words, without its prefix and position.
std::string ParserReason(const std::string& what) {
    const size_t column = what.find("column ");
    const size_t colon = what.find(": ", column == std::string::npos ? 0 : column);
    return colon == std::string::npos ? what : what.substr(colon + 2);
}

// Errors of the file as a whole and of its identity first, then the fields
// in the order of the file; a section's own error before its fields, an
// unknown key after them, and unknown sections last.
double FieldOrder(const ProfileError& error) {
    const std::string& path = error.field;
    if (const auto index = FieldIndex(path)) return static_cast<double>(*index) + 1;
    const size_t dot = path.find('.');
    const std::string section = path.substr(0, dot) + ".";
    std::optional<double> first;
    std::optional<double> last;
    for (size_t i = 0; i < kProfileFields.size(); ++i) {
        if (kProfileFields[i].path.substr(0, section.size()) != section) continue;
        if (!first) first = static_cast<double>(i) + 0.5;
        last = static_cast<double>(i) + 1.5;
    }
    if (!first)
        return dot == std::string::npos && !path.empty() && path != "format" && path != "model" &&
                       path != "serialNumber" && path != "firmware" && path != "exportedAt"
                   ? kFieldCount + 1.0
                   : 0;
    return dot == std::string::npos ? *first : *last;
}

}  // namespace

std::optional<Profile> ReadProfile(std::string_view text, bool english,
                                   std::vector<ProfileError>& errors) {
    const Messages& messages = MessagesIn(english);
    json root;
    DuplicateKeys duplicates;
    try {
        root = json::parse(text.begin(), text.end(), std::ref(duplicates));
    } catch (const json::parse_error& error) {
        errors.push_back({"", messages.Malformed(WhereInText(text, error.byte, messages),
                                                 ParserReason(error.what()))});
        return std::nullopt;
    }
    if (!root.is_object()) {
        errors.push_back({"", messages.NotAnObject()});
        return std::nullopt;
    }
    const size_t before = errors.size();
    for (const std::string& path : duplicates.duplicates)
        errors.push_back({path, messages.Duplicate()});
    Profile profile;
    Reader reader(messages, errors);
    reader.Root(root, profile);
    reader.Needs(profile.values);
    reader.ProtectionOrder(profile.values);
    // The window's checks take the values alone: a profile leaves out only
    // fields that no check looks at.
    SharedState state;
    state.SetLanguageFlag(english ? "ENGLISH" : "CHINESE");
    reader.Checks(WindowChecks(profile.values, state));

    std::stable_sort(
        errors.begin() + static_cast<std::ptrdiff_t>(before), errors.end(),
        [](const ProfileError& a, const ProfileError& b) { return FieldOrder(a) < FieldOrder(b); });
    if (errors.size() != before) return std::nullopt;
    return profile;
}

std::string ControllerModel(const ControllerData& data) {
    return Trimmed(AsUtf8(WordsToText(data.modelName, ControllerData::kModelWords)));
}
std::string ControllerSerial(const ControllerData& data) {
    return Trimmed(AsUtf8(WordsToText(data.serialNumber, ControllerData::kSerialWords)));
}
std::string ControllerFirmware(const ControllerData& data) {
    return Trimmed(AsUtf8(WordsToText(data.firmwareVersion, ControllerData::kFirmwareWords)));
}

std::string ExportProfile(const ControllerData& data, std::string_view exportedAt) {
    ordered_json out = ordered_json::object();
    out["format"] = kFormatVersion;
    out["model"] = ControllerModel(data);
    out["serialNumber"] = ControllerSerial(data);
    out["firmware"] = ControllerFirmware(data);
    out["exportedAt"] = std::string(exportedAt);

    const bool userDefined = data.batteryType.load() == BatteryParameters::kUserDiy;
    for (const ProfileField& field : kProfileFields) {
        if (field.need == Need::kUserDiy && !userDefined) continue;
        const std::optional<int32_t> value = FieldFromRecord(field, data);
        ordered_json item;
        if (field.unit == Unit::kTenths) {
            if (!value) continue;
            item = *value / 10.0;
        } else if (field.unit == Unit::kWhole) {
            if (!value) continue;
            item = *value;
        } else {
            const std::string name = value ? EntryName(field.unit, *value) : std::string();
            if (name.empty()) {
                item = RecordWord(data, field);
            } else {
                item = name;
            }
        }
        // "load.timer1.onHour" -> out["load"]["timer1"]["onHour"]
        ordered_json* at = &out;
        std::string_view rest = field.path;
        for (size_t dot = rest.find('.'); dot != std::string_view::npos; dot = rest.find('.')) {
            at = &(*at)[std::string(rest.substr(0, dot))];
            rest.remove_prefix(dot + 1);
        }
        (*at)[std::string(rest)] = std::move(item);
    }
    return out.dump(2) + "\n";
}

}  // namespace kestrane::profile
