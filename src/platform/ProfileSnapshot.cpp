#include "platform/ProfileSnapshot.h"

#include <unistd.h>

#include <algorithm>
#include <stdexcept>

#include "platform/ProfileFile.h"
#include "platform/ProfileLines.h"

namespace kestrane {
namespace {

using profile::EqualIgnoringCase;
using profile::TrimBlanks;

std::string_view Unquoted(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

std::string Truncated(std::string_view text) {
    return std::string(text.substr(0, kProfileValueMaxLength));
}

}  // namespace

ProfileSnapshot::ProfileSnapshot(const std::string& path, std::vector<ProfileKey> keys) {
    for (const ProfileKey& wanted : keys) {
        entries_.push_back(Entry{
            std::string(TrimBlanks(wanted.section)), std::string(TrimBlanks(wanted.key)), {}});
    }
    fileExists_ = kestrane::FileExists(path);
    const int fd = profile::OpenRegularFile(path);
    if (fd < 0) return;

    std::vector<bool> inSection(entries_.size(), false);
    size_t missing = entries_.size();
    const bool read = profile::ScanLines(fd, [&](const profile::ScannedLine& line) {
        const profile::ParsedLine parsed = profile::ParseLine(line.text, line.first);
        for (size_t i = 0; i < entries_.size(); ++i) {
            Entry& entry = entries_[i];
            if (parsed.kind == profile::LineKind::Section) {
                inSection[i] = EqualIgnoringCase(parsed.name, entry.section);
            } else if (parsed.kind == profile::LineKind::Key && inSection[i] && !entry.value &&
                       EqualIgnoringCase(parsed.name, entry.key)) {
                entry.value = Truncated(Unquoted(parsed.value));
                --missing;
            }
        }
        return missing > 0;
    });
    ::close(fd);
    // A read that failed part-way may have seen a key that a whole read would
    // have found elsewhere first; the file answers as unreadable.
    if (!read) {
        for (Entry& entry : entries_)
            entry.value.reset();
    }
}

const ProfileSnapshot::Entry& ProfileSnapshot::Find(const std::string& section,
                                                    const std::string& key) const {
    const std::string_view wantedSection = TrimBlanks(section);
    const std::string_view wantedKey = TrimBlanks(key);
    auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& entry) {
        return EqualIgnoringCase(entry.section, wantedSection) &&
               EqualIgnoringCase(entry.key, wantedKey);
    });
    if (it == entries_.end())
        throw std::invalid_argument("settings key not read: [" + section + "] " + key);
    return *it;
}

bool ProfileSnapshot::Has(const std::string& section, const std::string& key) const {
    return Find(section, key).value.has_value();
}

std::string ProfileSnapshot::Get(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
    const Entry& entry = Find(section, key);
    if (entry.value) return *entry.value;
    const size_t last = defaultValue.find_last_not_of(" \t");
    return Truncated(
        std::string_view(defaultValue).substr(0, last == std::string::npos ? 0 : last + 1));
}

}  // namespace kestrane
