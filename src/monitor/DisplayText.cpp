#include "monitor/DisplayText.h"

namespace kestrane {

bool IsEnglishFlag(std::string_view languageFlag) {
    return languageFlag == "ENGLISH";
}

std::string PickLanguageText(std::string_view languageFlag, std::string_view chinese,
                             std::string_view english) {
    return std::string(IsEnglishFlag(languageFlag) ? english : chinese);
}

}  // namespace kestrane
