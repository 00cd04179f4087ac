#include "ui/tables/StoredSettings.h"

#include <vector>

#include "platform/ProfileFile.h"
#include "platform/ProfileSnapshot.h"

namespace kestrane {
namespace {

constexpr char kDefaultLanguage[] = "ENGLISH";
constexpr char kDefaultAddress[] = "1";
constexpr int kHighestAddress = 247;

std::optional<std::string> Found(const ProfileSnapshot& file, const char* section,
                                 const char* key) {
    if (!file.Has(section, key)) return std::nullopt;
    return file.Get(section, key, "");
}

}  // namespace

int StoredSettings::ColourIndex() const {
    return LeadingNumber(colour.value_or("NULL"));
}

int StoredSettings::AddressIndex() const {
    const int stored = LeadingNumber(address.value_or(kDefaultAddress));
    return stored >= 1 && stored <= kHighestAddress ? stored - 1 : 0;
}

StoredSettings ReadStoredSettings(const std::string& path) {
    const ProfileSnapshot file(path, {{kLanguageSection, kLanguageKey},
                                      {kAddressSection, kAddressKey},
                                      {kColourSection, kColourKey}});
    StoredSettings stored;
    stored.fileExists = file.FileExists();
    stored.language = Found(file, kLanguageSection, kLanguageKey);
    stored.address = Found(file, kAddressSection, kAddressKey);
    stored.colour = Found(file, kColourSection, kColourKey);
    return stored;
}

bool WriteMissingSettings(const std::string& path, const StoredSettings& stored,
                          const std::string& colourText) {
    std::vector<ProfileEntry> missing;
    if (!stored.language) missing.push_back({kLanguageSection, kLanguageKey, kDefaultLanguage});
    if (!stored.address) missing.push_back({kAddressSection, kAddressKey, kDefaultAddress});
    if (!stored.colour) missing.push_back({kColourSection, kColourKey, colourText});
    return missing.empty() || WriteProfileStrings(missing, path);
}

}  // namespace kestrane
