// Replacing a file's contents in one step: the new contents go to a temporary
// file beside it, which is renamed over the old one, so a reader (or a start
// after a crash) sees either the old file or the new one, never part of it.
//
// The temporary file is named after the file: its name, ".kestrane-" and six
// letters or digits ("Configfiles.ini.kestrane-Ab3xZ9"). The writer holds an
// exclusive flock on it until the rename, so a left-over one, whose writer
// died before renaming, is told from one being written by its free lock.
#pragma once

#include <functional>
#include <string>

namespace kestrane {

// Writes path's new contents through write(fd) into a temporary file, which
// gets path's permission bits (or 0666 less the umask for a new file), is
// synced and renamed over path. A symbolic link at path stays a link, and
// the file it points to is replaced. False, with path untouched and no
// temporary file left, when write returns false or any step fails.
bool ReplaceFile(const std::string& path, const std::function<bool(int fd)>& write);

// Removes the temporary files that ReplaceFile left beside path when a
// process died before its rename: only names of that pattern, only regular
// files of this user, and only those whose writer no longer holds them.
// Returns how many were removed.
int RemoveStaleReplaceFiles(const std::string& path);

}  // namespace kestrane
