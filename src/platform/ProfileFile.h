// Settings in an INI file, read and written one key at a time, in the manner
// of the Windows profile functions: names match without regard to case, a
// missing file, section or key gives the caller's default, and a write touches
// only the line of its key.
#pragma once

#include <cstddef>
#include <string>

namespace kestrane {

// Values and defaults are returned with at most this many characters (the
// 260-character buffer of the original interface, less its terminator).
constexpr size_t kProfileValueMaxLength = 259;

// The value of key in [section], blanks around it removed and one pair of
// matching quotes stripped. defaultValue (trailing blanks removed) when the
// file, the section or the key is missing; an empty string for a key that is
// present but empty.
std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& defaultValue, const std::string& path);

// Sets key in [section] to value, creating the file, the section or the key as
// needed and replacing an existing value in its line. Every other line stays as
// it was. The file is replaced by rename, so a failed write leaves the old file
// whole. False when the file cannot be written, or when a name or the value
// would break the file's lines (line breaks, '=' in a key, ']' in a section).
bool WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path);

// True when path names something that is not a directory.
bool FileExists(const std::string& path);

// The number at the start of text as the C library's atoi reads it: leading
// blanks, an optional sign, decimal digits. 0 when there are none ("NULL",
// ""); clamped to the range of int.
int LeadingNumber(const std::string& text);

}  // namespace kestrane
