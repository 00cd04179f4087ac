#include "ui/tables/ThemeSelection.h"

#include "monitor/ControlIds.h"
#include "platform/ProfileFile.h"
#include "ui/tables/ColourThemes.h"
#include "ui/tables/StoredSettings.h"
#include "ui/tables/UiLanguage.h"

namespace kestrane {

namespace {

constexpr LanguageText kRestartMessage{
    "Please restart the application software to make the modification take effect!",
    "请重启应用软件使修改生效！"};

}  // namespace

int ReadColourIndex(const std::string& configFilePath) {
    return ReadStoredSettings(configFilePath).ColourIndex();
}

void ShowThemeLogo(IControlAccess& controls, int colourIndex) {
    for (int logo : kLogoControls)
        controls.Show(logo, false);
    controls.Show(id::kFixedCaption, false);
    if (const ColourTheme* theme = ThemeFor(colourIndex)) controls.Show(theme->logoControl, true);
    controls.Show(id::kFixedCaption, true);
}

void OnSaveBackground(IControlAccess& controls, SharedState& state,
                      const std::string& configFilePath) {
    const int list = state.IsEnglish() ? id::kBackgroundListEnglish : id::kBackgroundListChinese;
    const int index = controls.Selection(list);
    state.colourIndex = index;
    // A failed write is not reported: the message asks for a restart either way.
    WriteProfileString(kColourSection, kColourKey, std::to_string(index), configFilePath);
    controls.ShowMessage(kRestartMessage.In(state));
}

}  // namespace kestrane
