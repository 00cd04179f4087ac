// Where the program is and where it keeps its settings file.
#pragma once

#include <string>

namespace kestrane {

// Directory of the running executable, ending in '/'. "./" when it cannot be
// found.
std::string ExecutableDirectory();

// ExecutableDirectory() when the program may write there (a copy unpacked in
// the user's own folder); otherwise the per-user configuration directory
// kestrane/ under $XDG_CONFIG_HOME or ~/.config, created when missing. Ends
// in '/'.
std::string ConfigDirectory();

// The choice ConfigDirectory makes, with its inputs given: exeDir is used when
// writable; xdgConfigHome (ignored unless an absolute path) and home may be
// null. The chosen fallback directory is created; when it cannot be, exeDir
// is returned and the settings are simply not kept.
std::string ChooseConfigDirectory(const std::string& exeDir, const char* xdgConfigHome,
                                  const char* home);

}  // namespace kestrane
