#include "ui/framework/DialogLanguage.h"

#include <atomic>

namespace kestrane {

namespace {
std::atomic<int> dialogLanguage{kLanguageEnglish};
}

void SetDialogLanguage(int languageId) {
    dialogLanguage = languageId;
}

int DialogLanguage() {
    return dialogLanguage.load();
}

}  // namespace kestrane
