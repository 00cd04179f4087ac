#include "monitor/DisplayText.h"

namespace kestrane {

std::string LanguageText::In(const SharedState& state) const {
    return PickLanguageText(state.LanguageFlag(), chinese, english);
}

std::string PickLanguageText(std::string_view languageFlag, std::string_view chinese,
                             std::string_view english) {
    return std::string(IsEnglishFlag(languageFlag) ? english : chinese);
}

}  // namespace kestrane
