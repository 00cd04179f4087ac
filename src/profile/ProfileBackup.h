// Where a controller's settings are kept before a profile is applied:
// $XDG_DATA_HOME/kestrane/backups (~/.local/share when unset), one file per
// controller and moment, never replacing an earlier one.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace kestrane::profile {

// The backup directory for these environment values (either may be null or
// empty); empty when neither gives an absolute directory.
std::string BackupDirectory(const char* xdgDataHome, const char* home);

// "<serial>-<YYYYmmdd-HHMMSS>.json" at local time `when`. Characters of the
// serial number other than letters, digits, '-', '_' and '.' become '_', so a
// controller's text can never leave the directory; no serial reads "unknown".
std::string BackupName(const std::string& serial, std::time_t when);

// "<serial>-" as BackupName makes it: the start of every backup name of
// that controller.
std::string BackupPrefix(const std::string& serial);

// When `name` is one of the names BackupName (with WriteBackup's "-2" ...)
// gives the controller with `serial`: the local time in it. Nothing for
// any other name, so a name from elsewhere can never reach another file.
std::optional<std::time_t> BackupTime(const std::string& name, const std::string& serial);

struct BackupEntry {
    std::string name;
    std::time_t time;
};

// The backups of the controller with `serial` in `directory`, newest
// first; regular files only.
std::vector<BackupEntry> ListBackups(const std::string& directory, const std::string& serial);

// The text of backup `name` of the controller with `serial`: nothing when
// the name is not one of its backup names, the file is not a regular file
// (a link is not followed), cannot be read or is over `maxBytes`.
std::optional<std::string> ReadBackup(const std::string& directory, const std::string& name,
                                      const std::string& serial, size_t maxBytes);

// Writes `text` to a new file `name` in `directory` (made when missing):
// the file appears whole or not at all, and it and its folder are synced
// before this returns, so it survives a power cut. An existing file of that
// name is kept and the new one gets "-2", "-3" ... before ".json". The path
// written, or nothing with the reason in `error`.
std::optional<std::string> WriteBackup(const std::string& directory, const std::string& name,
                                       const std::string& text, std::string& error);

// "2026-06-01T07:30:00Z": UTC time `when` as the profile's exportedAt.
std::string UtcStamp(std::time_t when);

}  // namespace kestrane::profile
