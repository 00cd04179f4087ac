#include "ui/framework/UiLanguage.h"

#include <atomic>

namespace kestrane {

namespace {
std::atomic<int> uiLanguage{kLanguageEnglish};
}

void SetUiLanguage(int languageId) {
    uiLanguage = languageId;
}

int UiLanguage() {
    return uiLanguage.load();
}

}  // namespace kestrane
