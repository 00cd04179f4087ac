// Where the daily event log goes, and where a reader of the log looks for it.
#pragma once

#include <string>

namespace kestrane {

// The folder of the daily log files, ending in '/':
// - `logDirOverride` when it is not empty (--log-dir), created when missing;
// - the current directory ("./") for a copy that runs from a folder it may
//   write (unpacked in the user's own folder, or a build tree);
// - for an installed program (not a portable copy, the same test that moves
//   the settings file): $XDG_DATA_HOME/kestrane/logs/, by default
//   ~/.local/share/kestrane/logs/, created when missing; the current
//   directory when that cannot be created.
std::string LogDirectory(const std::string& logDirOverride = {});

// The choice LogDirectory makes, with its inputs given; xdgDataHome (ignored
// unless an absolute path) and home may be null.
std::string ChooseLogDirectory(const std::string& logDirOverride, const std::string& exeDir,
                               const char* xdgDataHome, const char* home);

}  // namespace kestrane
