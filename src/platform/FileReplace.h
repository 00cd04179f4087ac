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
#include <string_view>

namespace kestrane {

// Writes all of data to fd, going on after short writes and interruptions.
// False when a write fails.
bool WriteAll(int fd, std::string_view data);

// Writes path's new contents through write(fd) into a temporary file, which
// gets path's permission bits (or 0666 less the umask for a new file), is
// synced and renamed over path, and then the folder is synced, so that after
// a power cut path holds the old contents or the new, whole. A symbolic link
// at path stays a link, and the file it points to is replaced. False, with
// path untouched and no temporary file left, when write returns false or any
// step before the rename fails; false too when the folder cannot be synced
// after it (path then holds the new contents, not known to be on the disk).
bool ReplaceFile(const std::string& path, const std::function<bool(int fd)>& write);

// Makes a new file at path that appears whole or not at all, even after a
// power cut: written through write(fd) into a temporary file (0666 less the
// umask), synced, linked to path only if no file of that name exists, and
// the folder synced. 0, or the errno of the step that failed: EEXIST when
// path exists (it is left alone), EIO when write returned false without an
// errno. No temporary file is left behind.
int CreateFileWhole(const std::string& path, const std::function<bool(int fd)>& write);

// Removes the temporary files that ReplaceFile left beside path when a
// process died before its rename: only names of that pattern, only regular
// files of this user, and only those whose writer no longer holds them.
// Returns how many were removed.
int RemoveStaleReplaceFiles(const std::string& path);

}  // namespace kestrane
