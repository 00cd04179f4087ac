// Appending whole lines to a text file that other programs read while it
// grows: each call is one write() in append mode, and a write the disk could
// only take in part is cut back, so the file never ends inside a line that
// was written here. Only a process killed in the middle of a write (the
// kernel may stop it at a page boundary) or a power cut can leave a torn
// last line; CutTornLine removes it when a writer takes the file up again.
#pragma once

#include <string>
#include <string_view>

namespace kestrane {

struct AppendOptions {
    // Put in front of `bytes` when the file is new or empty (a header line).
    std::string_view prefixWhenEmpty;
    // Flush the file's data to the disk before closing it.
    bool sync = false;
};

// Opens (creating it when missing), appends and closes. When the file ends
// inside a line (a crash or power cut took the rest), a line end is written
// first so the new line is not glued to the torn one. Returns 0, or the errno
// of the step that failed (ENOSPC for a full disk).
int AppendWholeLines(const std::string& path, std::string_view bytes, AppendOptions options = {});

// Flushes a file's data to the disk; 0 or errno.
int SyncFileData(const std::string& path);

// Cuts a file that ends inside a line (a power cut took the rest of the
// line, or left zeros in its place) back to the end of its last whole line,
// or to nothing when it has none. A missing file is no error. For a writer
// taking up a file again, never while another one appends to it. 0 or errno.
int CutTornLine(const std::string& path);

}  // namespace kestrane
