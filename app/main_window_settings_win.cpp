// The main window's options: applied from the settings file at start, shown in the menus,
// written back at close.

#include "app/main_window_win.h"

#include "app/main_window_design_win.h"
#include "foundation/win_text.h"
#include "settings/settings.h"
#include "settings/settings_win.h"
#include "ui/commands.h"

namespace corvandel {

using namespace main_window;

void MainWindow::ShowOptions() {
    // Each option is stored under the name of the menu item that shows it.
    for (const OptionKey& option : kOptionKeys) {
        CheckMenuItem(PopupMenu_General.Handle(), CommandByName(KeyOf(option.id).name),
                      MF_BYCOMMAND | (options_.*option.field ? MF_CHECKED : MF_UNCHECKED));
    }
}

void MainWindow::LoadOptions() {
    if (settings_.Unreadable()) {
        // The program starts with the defaults and says so once. The box has no owner: the
        // main window is still hidden, and a box it owned would hold up its first list.
        MessageBoxW(nullptr, Widen(settings_.ReadError()).c_str(), L"Corvandel", MB_ICONERROR);
    }
    // A size the file does not hold is the window's own.
    RECT window{};
    GetWindowRect(hwnd_, &window);
    MainSettings options = settings_.Values().main;
    if (options.height == 0)
        options.height = window.bottom - window.top;
    if (options.width == 0)
        options.width = window.right - window.left;

    switch (ChosenTheme(options)) {
        case ThemeChoice::Auto:
            HandleCommand(kCmdThemeAuto);
            break;
        case ThemeChoice::Light:
            HandleCommand(kCmdThemeLight);
            break;
        case ThemeChoice::Dark:
            HandleCommand(kCmdThemeDark);
            break;
        case ThemeChoice::None:
            break;
    }
    options_.viewLog = options.viewLog;
    ShowOptions();
    ViewLogMenuClick();
    if (options.iconSmall)
        IconSmallMenuClick();
    if (options.iconBig)
        IconBigMenuClick();

    if (options.maximized) {
        startMaximized_ = true;
    } else {
        const int width = options.width < scale_(kMinWidth) ? scale_(kMinWidth) : options.width;
        const int height =
            options.height < scale_(kMinHeight) ? scale_(kMinHeight) : options.height;
        SetWindowPos(hwnd_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                     (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    startOptions_ = CurrentOptions();
}

MainSettings MainWindow::CurrentOptions() {
    MainSettings options = options_;
    options.maximized = IsZoomed(hwnd_);
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(hwnd_, &placement);
    options.height = placement.rcNormalPosition.bottom - placement.rcNormalPosition.top;
    options.width = placement.rcNormalPosition.right - placement.rcNormalPosition.left;
    return options;
}

void MainWindow::SaveOptions() {
    settings_.Values().main = CurrentOptions();
    const bool chosen = MenuOptionsDiffer(settings_.Values().main, startOptions_);
    // A file that could not be read is never replaced by the defaults; only options the user
    // chose in this run are worth writing over it.
    if (settings_.Unreadable() && !chosen)
        return;
    try {
        settings_.Save(SettingsGroup::MainWindow, chosen);
    } catch (const SettingsReadError&) {
        // It became unreadable meanwhile, and nothing was chosen: it is left alone.
    } catch (const std::exception& e) {
        // The window still closes: the user asked for it, and is told the options are lost.
        MessageBoxW(hwnd_, Widen(e.what()).c_str(), L"Corvandel", MB_ICONERROR);
    }
}

}  // namespace corvandel
