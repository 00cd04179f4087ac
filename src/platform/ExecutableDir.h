// Where the program is and where it keeps its settings file.
#pragma once

#include <string>

namespace kestrane {

// Directory of the running executable, ending in '/'. "./" when it cannot be
// found.
std::string ExecutableDirectory();

// True when the program may create files in `dir`. A copy unpacked in the
// user's own folder (or a build tree) runs from a writable directory; an
// installed program does not, and keeps its files in the per-user folders.
bool IsWritableDirectory(const std::string& dir);

// True when the program in `exeDir` is a copy of the user's own (a build
// tree, an unpacked folder) that keeps its files beside itself: the folder is
// the user's, writable, and not under /usr. An installed program, also one
// run as root from a folder root may write, keeps them in the per-user folders.
bool IsPortableCopyDirectory(const std::string& exeDir);

// The user's home directory: $HOME, else the password database's entry;
// nullptr when neither is known.
const char* HomeDirectory();

// The per-user folder `subdir` under the base directory named by an XDG
// variable (its value xdgHome, ignored unless an absolute path) or else under
// home/homeRelative (".config", ".local/share"), created when missing. Ends in
// '/'; empty when neither base is known or the folder cannot be written.
std::string UserDirectory(const char* xdgHome, const char* home, const char* homeRelative,
                          const char* subdir);

// ExecutableDirectory() for a portable copy (IsPortableCopyDirectory); otherwise the per-user
// configuration directory kestrane/ under $XDG_CONFIG_HOME or ~/.config, created when missing. Ends
// in '/'.
std::string ConfigDirectory();

// The choice ConfigDirectory makes, with its inputs given: exeDir is used for
// a portable copy; xdgConfigHome (ignored unless an absolute path) and home may be
// null. The chosen fallback directory is created; when it cannot be, exeDir
// is returned and the settings are simply not kept.
std::string ChooseConfigDirectory(const std::string& exeDir, const char* xdgConfigHome,
                                  const char* home);

}  // namespace kestrane
