#include "app/SettingsFileDefaults.h"

#include "platform/ProfileFile.h"

namespace kestrane {

void WriteDefaultSettings(const std::string& path, const char* colourIndexText,
                          SharedState& shared) {
    WriteProfileString("SysLanguage", "Language", "ENGLISH", path);
    WriteProfileString("COMSET", "ADDR", "1", path);
    WriteProfileString("Colour", "BackColour", colourIndexText, path);
    shared.SetLanguageFlag("ENGLISH");
}

}  // namespace kestrane
