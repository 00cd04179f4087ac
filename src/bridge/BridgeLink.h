// What the bus side and the MQTT side of the bridge tell each other. The bus
// threads own the controllers and the serial lines; the MQTT side owns the
// broker connection. Neither ever waits for the other: a call across this
// line only copies or queues.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "profile/ProfileJson.h"

namespace kestrane::bridge {

// One configured controller as MQTT sees it.
struct DeviceIdentity {
    // Topic segment: "sn-<serial>" (serial number reduced to [a-z0-9_-]) once
    // the identity block was read, "bus<index>-addr<address>" before.
    std::string deviceId;
    std::string name;                           // the configured name
    std::string model, serialNumber, firmware;  // empty until the identity block was read
    std::string busPort;
    int busIndex = 0;
    uint8_t address = 0;
    bool allowControl = false;
};

// Published after every cycle of a device, good or failed.
struct DeviceUpdate {
    DeviceIdentity identity;
    bool online = false;  // false after 3 failed cycles, true again after a good one
    // The state object of the last good cycle (keys of StateFields.h); null
    // when the device never answered.
    nlohmann::json state;
    // {"requests": n, "<BusResultName>": n, ..., "last_cycle_ms": x}
    nlohmann::json link;
    // The values of the last good cycle as the daily log writes them (from
    // the serial number to the last temperature); empty before one.
    std::string logValues;
    // The battery and load settings as a settings profile object, once every
    // settings block has been read since the line was opened; null before.
    nlohmann::json settings;
    std::string settingsReadAt;  // ISO 8601 time of the read behind `settings`
};

enum class LoadModeChoice { kLight, kLightAndTime, kDualTimer, kOn, kOff };

// A settings profile to check against a controller's last read, or to
// write to it; shared, as it is read-only once queued.
struct SettingsRequest {
    profile::Profile profile;  // already read and checked
    std::string basedOn;       // apply: the settings read time the change was made from
    bool english = true;       // language of the checks' messages
    std::string backupDirectory;
};

// A command from Home Assistant or the web page for the bus thread that owns
// the device.
struct DeviceCommand {
    enum class Kind { kSetLoadMode, kSetClock, kCheckSettings, kApplySettings };
    std::string deviceId;
    Kind kind = Kind::kSetLoadMode;
    LoadModeChoice loadMode = LoadModeChoice::kLight;
    std::shared_ptr<const SettingsRequest> settings;  // the two settings kinds
    uint64_t id = 0;  // given back in the outcome, for a caller that waits for it

    // Whether the command changes the controller, and so needs allow_control.
    bool Writes() const { return kind != Kind::kCheckSettings; }
};

// How a command ended, after its read-back; published on <prefix>/<id>/event.
struct CommandOutcome {
    // Why a settings command did nothing, when it did nothing.
    enum class Refusal {
        kNone,
        kNotRead,  // the settings have not been read since the line opened
        kChanged,  // the controller's settings are not those the change was based on
        kChecks,   // the profile fails the window's checks
        // "Set clock" while this machine's clock is not synchronised
        kClockUnsynchronised,
    };
    std::string deviceId;
    bool ok = false;
    std::string message;
    uint64_t commandId = 0;  // the command's id
    Refusal refusal = Refusal::kNone;
    // The settings commands' answer for the web page; null otherwise.
    nlohmann::json detail = nullptr;
    // A check changes nothing and is nobody's news but its caller's.
    bool announce = true;
};

// Implemented by the MQTT side; called from the bus threads.
class IUpdateSink {
public:
    virtual ~IUpdateSink() = default;
    virtual void Publish(const DeviceUpdate& update) = 0;
    virtual void ReportOutcome(const CommandOutcome& outcome) = 0;
    // A device was first seen under a new id (the serial number became known):
    // the entities under the old id are to be withdrawn.
    virtual void Renamed(const std::string& oldId, const DeviceIdentity& now) = 0;
};

// Implemented by the bus side; called from the MQTT thread.
class ICommandSink {
public:
    virtual ~ICommandSink() = default;
    // Queues the command for the device's bus thread. False (and nothing
    // queued) for an unknown device or one without allow_control.
    virtual bool Submit(const DeviceCommand& command) = 0;
};

}  // namespace kestrane::bridge
