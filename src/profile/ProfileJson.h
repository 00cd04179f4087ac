// The profile file: JSON that a person can read and edit, in the window's
// units and names. Reading it checks everything at once and lists every
// problem with the field it is about; writing it takes a controller's record.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "profile/ProfileFields.h"
#include "protocol/ControllerData.h"

namespace kestrane::profile {

inline constexpr int kFormatVersion = 1;

struct Profile {
    int format = kFormatVersion;
    std::string model;
    std::string serialNumber;
    std::string firmware;
    std::string exportedAt;
    FieldValues values;
};

struct ProfileError {
    std::string field;  // "leadAcid.chargeVoltage"; empty for the file as a whole
    std::string message;
};

// Reads a profile: malformed JSON (with line and column), unknown keys,
// values of the wrong type or outside what their register holds, fields the
// battery type or load mode needs but the profile leaves out, lead-acid
// protection voltages the controller's block would be refused with, and the
// checks of the window's SAVE with its own messages. Messages are in English
// or Chinese. Returns the profile only when `errors` stays empty.
std::optional<Profile> ReadProfile(std::string_view text, bool english,
                                   std::vector<ProfileError>& errors);

// The text of a controller's profile as read into `data`, ending in a newline.
// Fields the controller decides itself (the charge voltages of a preset
// battery type) and durations of a mode not in use are left out; a list value
// the window does not offer is written as the register's number.
std::string ExportProfile(const ControllerData& data, std::string_view exportedAt);

// The controller's texts with surrounding spaces taken off, as a profile keeps them.
std::string ControllerModel(const ControllerData& data);
std::string ControllerSerial(const ControllerData& data);
std::string ControllerFirmware(const ControllerData& data);

}  // namespace kestrane::profile
