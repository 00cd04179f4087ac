// Settings kept in an INI file, one key at a time: sections and keys match
// without regard to case, a missing file, section or key yields the caller's
// default, a write creates what it needs and replaces an existing value.
#pragma once

#include <string>

namespace kestrane {

std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& defaultValue, const std::string& path);
bool WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path);
bool FileExists(const std::string& path);
// The leading decimal digits of a text as a number; 0 when there are none.
int LeadingNumber(const std::string& text);

}  // namespace kestrane
