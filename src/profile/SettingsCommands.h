// The three settings commands over a bus master: export a controller's
// settings as a profile, compare a profile with a controller, apply a profile
// with a backup first and a read-back after. Each returns the exit status.
#pragma once

#include <ctime>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "bus/CBusMaster.h"

namespace kestrane::profile {

inline constexpr int kSettingsDone = 0;      // exported; equal; applied and verified
inline constexpr int kSettingsDiffer = 1;    // diff: differs; apply: a write failed or did not take
inline constexpr int kSettingsRefused = 2;   // bad profile, other model, no backup, not confirmed
inline constexpr int kSettingsNoAnswer = 3;  // a controller's settings could not be read

struct SettingsRun {
    std::vector<int> addresses{1};
    bool english = true;  // language of the messages about the profile's values
    bool yes = false;
    bool dryRun = false;
    bool force = false;
    std::string profileName;  // the profile file as messages name it
    std::string outputPath;   // export: the file to write; empty for standard output
    std::string backupDirectory;
    std::time_t now = 0;
    // Asks the question and says whether the answer was yes; nothing when
    // there is nobody to ask.
    std::function<std::optional<bool>(const std::string& question)> confirm;
};

int ExportSettings(CBusMaster& bus, const SettingsRun& run, std::ostream& out, std::ostream& err);
int DiffSettings(CBusMaster& bus, const std::string& profileText, const SettingsRun& run,
                 std::ostream& out, std::ostream& err);
int ApplySettings(CBusMaster& bus, const std::string& profileText, const SettingsRun& run,
                  std::ostream& out, std::ostream& err);

// Where export writes the profile of `address`: the path itself for a single
// controller, else "bank.json" becomes "bank-7.json".
std::string ExportPath(const std::string& path, int address, bool several);

}  // namespace kestrane::profile
