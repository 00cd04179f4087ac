// The language in which dialogs are loaded, as the original platform keeps it
// per thread: a dialog with an English and a Chinese template takes the one of
// the language in force when it opens. The main window sets it whenever the
// language setting changes.
#pragma once

namespace kestrane {

constexpr int kLanguageEnglish = 1033;
constexpr int kLanguageChinese = 2052;

void SetDialogLanguage(int languageId);
int DialogLanguage();

}  // namespace kestrane
