// Where a controller's settings are kept before a profile is applied:
// $XDG_DATA_HOME/kestrane/backups (~/.local/share when unset), one file per
// controller and moment, never replacing an earlier one.
#pragma once

#include <ctime>
#include <optional>
#include <string>

namespace kestrane::profile {

// The backup directory for these environment values (either may be null or
// empty); empty when neither gives an absolute directory.
std::string BackupDirectory(const char* xdgDataHome, const char* home);

// "<serial>-<YYYYmmdd-HHMMSS>.json" at local time `when`. Characters of the
// serial number other than letters, digits, '-', '_' and '.' become '_', so a
// controller's text can never leave the directory; no serial reads "unknown".
std::string BackupName(const std::string& serial, std::time_t when);

// Writes `text` to a new file `name` in `directory` (made when missing),
// synced before returning. An existing file of that name is kept and the new
// one gets "-2", "-3" ... before ".json". The path written, or nothing with
// the reason in `error`.
std::optional<std::string> WriteBackup(const std::string& directory, const std::string& name,
                                       const std::string& text, std::string& error);

// "2026-06-01T07:30:00Z": UTC time `when` as the profile's exportedAt.
std::string UtcStamp(std::time_t when);

}  // namespace kestrane::profile
