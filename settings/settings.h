#pragma once
// Where the program keeps its options and how the main window's options are read and written.
// The key names are the names of the main window's menu items and are part of the file format.

#include <string>

#include "settings/IniDocument.h"

namespace corvandel {

// Portable: next to the executable. Otherwise under the roaming profile, in a folder named
// after the company of the executable's version resource.
std::string SettingsFilePath(bool portable, const std::string& exeFolderWithSeparator,
                             const std::string& appDataFolder, const std::string& companyName);

struct MainSettings {
    bool themeAuto = false;
    bool themeLight = false;
    bool themeDark = false;
    bool viewLog = false;
    bool iconSmall = false;
    bool iconBig = false;
    bool maximized = false;
    int height = 0;
    int width = 0;
};

// The options kept as "1" or "0" under [Option], each by the name of its menu item.
struct OptionKey {
    const char* key;
    bool MainSettings::*field;
};
inline constexpr OptionKey kOptionKeys[] = {
    {"ThemeAuto", &MainSettings::themeAuto},     {"ThemeLight", &MainSettings::themeLight},
    {"ThemeDark", &MainSettings::themeDark},     {"ViewLogMenu", &MainSettings::viewLog},
    {"IconSmallMenu", &MainSettings::iconSmall}, {"IconBigMenu", &MainSettings::iconBig},
};

// A maximized window keeps the current size, so restoring it later goes back to that size.
MainSettings LoadMainSettings(const IniDocument& document, int currentHeight, int currentWidth);

// Other writers' entries in the file stay as they are.
void SaveMainSettings(const MainSettings& settings, IniDocument& document);

// Whether the options chosen in the menus (those of kOptionKeys) differ; the window's size and
// state are not counted.
bool MenuOptionsDiffer(const MainSettings& a, const MainSettings& b);

enum class ThemeChoice { None, Auto, Light, Dark };

// A hand-edited file may check several theme items; applying them in menu order lets the
// last one win.
ThemeChoice ChosenTheme(const MainSettings& settings);

}  // namespace corvandel
