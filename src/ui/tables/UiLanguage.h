// The user-interface language: the stored language flag, the message rule,
// relabelling the main window and the language button (1186).
//
// The flag lives in SharedState. Exactly "ENGLISH" selects English; every other
// value ("CHINESE", "NULL", "english", empty) selects Chinese. Each function
// that needs the settings file takes its full path (directory of the
// executable + "Configfiles.ini").
#pragma once

#include <string>

#include "monitor/DisplayText.h"
#include "protocol/SharedState.h"
#include "ui/ControlAccess.h"

namespace kestrane {

// Language identifiers of the two templates of each service dialog.
inline constexpr int kEnglishLanguageId = 1033;
inline constexpr int kChineseLanguageId = 2052;

// The template language of a service dialog opened now. The flag is re-read
// by ApplyLanguage before any dialog can open, so it is the whole rule here.
inline int DialogLanguageId(const SharedState& state) {
    return state.IsEnglish() ? kEnglishLanguageId : kChineseLanguageId;
}

// "SysLanguage"/"Language" of the settings file, "NULL" when the file, the
// section or the key is missing; at most 259 characters.
std::string ReadLanguageFlag(const std::string& configFilePath);

// Relabel the main window from the text table, row by row. The battery rows
// follow the battery type read from the controller and the one in the battery
// write image.
void ApplyEnglishTexts(IControlAccess& controls, const SharedState& state);
void ApplyChineseTexts(IControlAccess& controls, const SharedState& state);
// English when the flag in state is "ENGLISH", Chinese otherwise (window start).
void ApplyTextsOfFlag(IControlAccess& controls, const SharedState& state);

// Language set-up: reads the flag from the file into state, resets both
// load-mode lists to their first item and shows the one of the language,
// selects colourIndex in both theme lists and shows the one of the language,
// and labels the theme list.
void ApplyLanguage(IControlAccess& controls, SharedState& state, const std::string& configFilePath);
// The same set-up with the flag that state holds, for a caller that has just
// read it from the file (window start).
void ApplyLanguage(IControlAccess& controls, const SharedState& state);

// Button 1186: toggles the stored language between "ENGLISH" and "CHINESE",
// relabels the window and runs ApplyLanguage. Without a settings file it
// writes "ENGLISH" (creating the file) and leaves the labels as they are. The
// caller repaints the window afterwards.
void OnLanguageButton(IControlAccess& controls, SharedState& state,
                      const std::string& configFilePath);

}  // namespace kestrane
