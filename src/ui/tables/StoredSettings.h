// The three settings of Configfiles.ini as a start finds them, read in one
// pass over the file, and the defaults that complete a file that lacks some.
#pragma once

#include <optional>
#include <string>

namespace kestrane {

// Where the file keeps each setting.
inline constexpr char kLanguageSection[] = "SysLanguage";
inline constexpr char kLanguageKey[] = "Language";
inline constexpr char kAddressSection[] = "COMSET";
inline constexpr char kAddressKey[] = "ADDR";
inline constexpr char kColourSection[] = "Colour";
inline constexpr char kColourKey[] = "BackColour";

struct StoredSettings {
    bool fileExists = false;
    std::optional<std::string> language;  // "SysLanguage"/"Language"
    std::optional<std::string> address;   // "COMSET"/"ADDR"
    std::optional<std::string> colour;    // "Colour"/"BackColour"

    // The language flag as stored; "NULL" when the key is missing.
    std::string LanguageFlag() const { return language.value_or("NULL"); }
    // The colour index as a decimal integer; 0 when missing or not a number.
    int ColourIndex() const;
    // The entry of the address list (addresses 1 to 247) that a start
    // selects: the stored address's, or address 1's (index 0) when the key is
    // missing or holds no address of the list (empty, 0, 248, "NULL"), so a
    // damaged file never leaves the window polling address 0.
    int AddressIndex() const;
};

StoredSettings ReadStoredSettings(const std::string& path);

// Writes, in a single replace of the file, the first-start default of every
// setting that stored lacks (all three when the file is missing): "ENGLISH",
// address "1" and colourText. Keys that are present stay as they are. True
// when nothing was missing or the write succeeded.
bool WriteMissingSettings(const std::string& path, const StoredSettings& stored,
                          const std::string& colourText);

}  // namespace kestrane
