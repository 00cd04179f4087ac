// Making a folder's entries durable: a file that was created, renamed or
// removed is only known to survive a power cut once its folder was synced
// too, not just the file's data.
#pragma once

#include <string>

namespace kestrane {

// Flushes the folder `dir` (its list of names) to the disk; 0 or errno.
int SyncFolder(const std::string& dir);

// The folder that holds `path`: everything before its last '/', "/" for a
// name in the root, "." for a bare name.
std::string FolderOf(const std::string& path);

}  // namespace kestrane
