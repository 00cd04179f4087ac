// Settings in an INI file, in the manner of the Windows profile functions:
// names match without regard to case, a missing file, section or key gives the
// caller's default, and a write touches only the line of its key. Files of
// any size are read as a stream, with memory bounded by ProfileLines.h.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kestrane {

// Values and defaults are returned with at most this many characters (the
// 260-character buffer of the original interface, less its terminator).
constexpr size_t kProfileValueMaxLength = 259;

// The value of key in [section], blanks around it removed and one pair of
// matching quotes stripped. defaultValue (trailing blanks removed) when the
// file, the section or the key is missing; an empty string for a key that is
// present but empty. To read several keys, ProfileSnapshot reads the file
// once for all of them.
std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& defaultValue, const std::string& path);

struct ProfileEntry {
    std::string section;
    std::string key;
    std::string value;
};

// Sets key in [section] to value, creating the file, the section or the key as
// needed and replacing an existing value in its line. Every other line stays as
// it was. The file is replaced by rename (FileReplace.h), so a failed write
// leaves the old file whole. False when the file cannot be read or written, or
// when a name or the value would break the file's lines (line breaks, '=' in a
// key, ']' in a section).
bool WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path);

// Sets every entry as WriteProfileString would, one after the other, but in a
// single replace of the file: another reader, or a start after a crash, sees
// all of them or none. A later entry for the same key wins. Nothing is written
// when any entry is refused.
bool WriteProfileStrings(const std::vector<ProfileEntry>& entries, const std::string& path);

// True when path names something that is not a directory.
bool FileExists(const std::string& path);

// The number at the start of text as the C library's atoi reads it: leading
// blanks, an optional sign, decimal digits. 0 when there are none ("NULL",
// ""); clamped to the range of int.
int LeadingNumber(const std::string& text);

}  // namespace kestrane
