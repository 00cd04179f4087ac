#include "app/SettingsFileDefaults.h"

namespace kestrane {

void WriteDefaultSettings(const std::string& path, const char* colourIndexText,
                          SharedState& shared) {
    CompleteSettings(path, StoredSettings{}, colourIndexText, shared);
}

void CompleteSettings(const std::string& path, const StoredSettings& stored,
                      const char* colourIndexText, SharedState& shared) {
    // A failed write is not reported: the run goes on with the values in
    // memory, and the next start tries again.
    WriteMissingSettings(path, stored, colourIndexText);
    shared.SetLanguageFlag(stored.language.value_or("ENGLISH"));
}

}  // namespace kestrane
