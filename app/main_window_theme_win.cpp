// The main window's theme commands: a light or dark look, or the one the system asks for,
// followed while it is the choice in force.

#include "app/main_window_win.h"
#include "appearance/WindowsDarkMode.h"
#include "appearance/theme_win.h"
#include "ui/commands.h"

namespace corvandel {

void MainWindow::ThemeClick(int id) {
    ReleaseGeneralMenuButton();
    options_.themeAuto = id == kCmdThemeAuto;
    options_.themeLight = id == kCmdThemeLight;
    options_.themeDark = id == kCmdThemeDark;
    ShowOptions();
    const bool dark = options_.themeDark || (options_.themeAuto && IsSystemDarkTheme(registry_));
    AppTheme::Instance().SetAppTheme(dark ? kStyleDark : kStyleLight);
}

void MainWindow::WMWinIniChange() {
    // Only "Системная" follows the system: a look the user picked stays as picked.
    if (!options_.themeAuto)
        return;
    AppTheme::Instance().SetAppTheme(IsSystemDarkTheme(registry_) ? kStyleDark : kStyleLight);
}

}  // namespace corvandel
