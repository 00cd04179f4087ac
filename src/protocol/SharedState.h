// The values the whole process shares: the controller record with its write
// images and refresh flags, the queued write selector, the settings status,
// the language flag and the colour theme. One object is created at start and
// passed by reference, so every test starts from a fresh one.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "protocol/ControllerData.h"

namespace kestrane {

// The language rule: exactly "ENGLISH" selects English, any other value
// ("CHINESE", "NULL", "english", empty) Chinese.
inline bool IsEnglishFlag(std::string_view languageFlag) {
    return languageFlag == "ENGLISH";
}

class SharedState {
public:
    ControllerData data;

    // Queued write selector: 0 none, 1-9 select the codes 10, 11, 13, 14, 15,
    // 16, 17, 18, 19. Set last by a handler that has filled a write image.
    AtomicValue pendingWrite{0};
    // Status of the last settings operation, 0 to 5, shown in the message line.
    AtomicValue settingsStatus{0};
    // Colour theme 0 to 4; any other value means the system colours.
    AtomicValue colourIndex{0};

    // The language setting as stored: exactly "ENGLISH" selects English, any
    // other value Chinese. Read by workers while the window thread may change it.
    std::string LanguageFlag() const {
        std::lock_guard lock(languageMutex_);
        return languageFlag_;
    }
    void SetLanguageFlag(std::string value) {
        std::lock_guard lock(languageMutex_);
        languageFlag_ = std::move(value);
    }
    bool IsEnglish() const { return IsEnglishFlag(LanguageFlag()); }

private:
    mutable std::mutex languageMutex_;
    std::string languageFlag_;
};

}  // namespace kestrane
