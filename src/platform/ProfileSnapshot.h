// Several keys of an INI file read in one pass over it, with the lookup rules
// of GetProfileString (ProfileFile.h): names match without regard to case and
// blanks around them, the first matching key of any section of that name
// counts, one pair of quotes is stripped and values are cut to
// kProfileValueMaxLength characters. Memory stays bounded whatever the file's
// size: only the asked-for values are kept.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kestrane {

struct ProfileKey {
    std::string section;
    std::string key;
};

class ProfileSnapshot {
public:
    // Reads path once for every key of keys. A file that cannot be read
    // answers as one without those keys.
    ProfileSnapshot(const std::string& path, std::vector<ProfileKey> keys);

    // Whether path named something other than a directory when it was read.
    bool FileExists() const { return fileExists_; }
    // Whether the key was found. Throws std::invalid_argument for a key that
    // was not asked for.
    bool Has(const std::string& section, const std::string& key) const;
    // The key's value, or defaultValue (trailing blanks removed, cut to
    // kProfileValueMaxLength) when it was not found. Throws
    // std::invalid_argument for a key that was not asked for.
    std::string Get(const std::string& section, const std::string& key,
                    const std::string& defaultValue) const;

private:
    struct Entry {
        std::string section;  // blanks trimmed
        std::string key;      // blanks trimmed
        std::optional<std::string> value;
    };
    const Entry& Find(const std::string& section, const std::string& key) const;

    bool fileExists_ = false;
    std::vector<Entry> entries_;
};

}  // namespace kestrane
