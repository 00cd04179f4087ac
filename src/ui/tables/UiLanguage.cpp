#include "ui/tables/UiLanguage.h"

#include "monitor/ControlIds.h"
#include "platform/ProfileFile.h"
#include "ui/tables/ColourThemes.h"
#include "ui/tables/MainWindowTexts.h"
#include "ui/tables/StoredSettings.h"

namespace kestrane {

namespace {

constexpr char kMissing[] = "NULL";
constexpr char kEnglishFlag[] = "ENGLISH";
constexpr char kChineseFlag[] = "CHINESE";
constexpr int kLithium = 4;

constexpr LanguageText kBackgroundLabelText{"Background:", "背景选择："};

bool RowApplies(TextCondition when, const SharedState& state) {
    switch (when) {
        case TextCondition::kAlways:
            return true;
        case TextCondition::kReadNotLithium:
            return state.data.batteryType.load() != kLithium;
        case TextCondition::kReadLithium:
            return state.data.batteryType.load() == kLithium;
        case TextCondition::kWrittenNotLithium:
            return state.data.batteryWrite[0].load() != kLithium;
    }
    return false;
}

void ApplyTexts(IControlAccess& controls, const SharedState& state, bool english) {
    for (const MainWindowTextRow& row : MainWindowTexts()) {
        if (!RowApplies(row.when, state)) continue;
        const char* text = english ? row.english : row.chinese;
        if (row.kind == TextRowKind::kSet) {
            if (text != nullptr) controls.SetText(row.id, text);
            continue;
        }
        // A swap replaces a caption of the other language by its counterpart
        // and leaves any other caption alone.
        const char* from = english ? row.chinese : row.english;
        const char* fromAlt = english ? row.chineseAlt : row.englishAlt;
        const char* toAlt = english ? row.englishAlt : row.chineseAlt;
        const std::string current = controls.Text(row.id);
        if (current == from) {
            controls.SetText(row.id, text);
        } else if (current == fromAlt) {
            controls.SetText(row.id, toAlt);
        }
    }
}

// The two lists of a pair stand on top of each other; only the one of the
// current language is visible.
void SelectPair(IControlAccess& controls, int chineseList, int englishList, int index,
                bool english) {
    controls.Select(chineseList, index);
    controls.Show(chineseList, !english);
    controls.Select(englishList, index);
    controls.Show(englishList, english);
}

}  // namespace

std::string ReadLanguageFlag(const std::string& configFilePath) {
    return GetProfileString(kLanguageSection, kLanguageKey, kMissing, configFilePath);
}

void ApplyEnglishTexts(IControlAccess& controls, const SharedState& state) {
    ApplyTexts(controls, state, true);
}

void ApplyChineseTexts(IControlAccess& controls, const SharedState& state) {
    ApplyTexts(controls, state, false);
}

void ApplyTextsOfFlag(IControlAccess& controls, const SharedState& state) {
    ApplyTexts(controls, state, state.IsEnglish());
}

void ApplyLanguage(IControlAccess& controls, SharedState& state,
                   const std::string& configFilePath) {
    state.SetLanguageFlag(ReadLanguageFlag(configFilePath));
    ApplyLanguage(controls, state);
}

void ApplyLanguage(IControlAccess& controls, const SharedState& state) {
    const bool english = state.IsEnglish();
    // Dialogs opened from now on take their template from DialogLanguageId,
    // which follows the flag just read.

    SelectPair(controls, id::kLoadModeListChinese, id::kLoadModeListEnglish, 0, english);

    const int colourIndex = state.colourIndex.load();
    const int themeItem = ThemeFor(colourIndex) != nullptr ? colourIndex : -1;
    SelectPair(controls, id::kBackgroundListChinese, id::kBackgroundListEnglish, themeItem,
               english);
    controls.SetText(id::kBackgroundLabel, kBackgroundLabelText.In(state));
}

void OnLanguageButton(IControlAccess& controls, SharedState& state,
                      const std::string& configFilePath) {
    if (FileExists(configFilePath)) {
        if (ReadLanguageFlag(configFilePath) == kEnglishFlag) {
            WriteProfileString(kLanguageSection, kLanguageKey, kChineseFlag, configFilePath);
            ApplyChineseTexts(controls, state);
        } else {
            WriteProfileString(kLanguageSection, kLanguageKey, kEnglishFlag, configFilePath);
            ApplyEnglishTexts(controls, state);
        }
    } else {
        // Creates the file; the labels stay as they are until the next click.
        WriteProfileString(kLanguageSection, kLanguageKey, kEnglishFlag, configFilePath);
    }
    ApplyLanguage(controls, state, configFilePath);
}

}  // namespace kestrane
