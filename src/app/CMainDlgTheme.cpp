// The colour theme on the main window: the window icon, the logo of the theme,
// the text colours of the message line and the group titles, and the
// background SAVE button (1257). The dialog colours themselves are set for the
// whole application at start (CMonitorApp).
#include <QPixmap>

#include "app/CMainDlg.h"
#include "ui/ThemeArtwork.h"
#include "ui/ThemePalette.h"
#include "ui/tables/ColourThemes.h"
#include "ui/tables/ThemeSelection.h"

namespace kestrane {

namespace {

// The logo drawn for its static. A static smaller than the artwork (a small
// dialog font) gets the logo scaled down whole rather than cut at its edges.
QPixmap LogoFor(int themeIndex, QSize area) {
    QPixmap logo = ThemeLogo(themeIndex);
    if (area.isEmpty() || (logo.width() <= area.width() && logo.height() <= area.height())) {
        return logo;
    }
    return logo.scaled(area, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

}  // namespace

void CMainDlg::ApplyWindowIcon() {
    setWindowIcon(ApplicationIcon());
}

void CMainDlg::ShowThemeLogo() {
    for (int index = 0; index < kThemeCount; ++index) {
        const int logo = kColourThemes[static_cast<size_t>(index)].logoControl;
        if (QWidget* widget = Control(logo)) SetPicture(logo, LogoFor(index, widget->size()));
    }
    kestrane::ShowThemeLogo(*this, shared.colourIndex);
    ApplyMainWindowTextColours(*this, shared.colourIndex);
}

void CMainDlg::OnSaveBackground() {
    kestrane::OnSaveBackground(*this, shared, SettingsPath());
    // Only the message line and the group titles follow before a restart.
    ApplyMainWindowTextColours(*this, shared.colourIndex);
}

}  // namespace kestrane
