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

#include <optional>

// Every key of the settings file, declared once: its section, its name and what it holds.
// The names are part of the file format: the options are named after the menu items that
// show them.
enum class SettingId {
    ThemeAuto,
    ThemeLight,
    ThemeDark,
    ViewLog,
    IconSmall,
    IconBig,
    WindowState,
    Height,
    Width,
    AutoCheck,
    Language,
    PrimaryServer,
    MirrorServer,
};
enum class SettingKind { Flag, Number, Text };
struct SettingKey {
    SettingId id;
    const char* section;
    const char* name;
    SettingKind kind;
};
inline constexpr SettingKey kSettingKeys[] = {
    {SettingId::ThemeAuto, "Option", "ThemeAuto", SettingKind::Flag},
    {SettingId::ThemeLight, "Option", "ThemeLight", SettingKind::Flag},
    {SettingId::ThemeDark, "Option", "ThemeDark", SettingKind::Flag},
    {SettingId::ViewLog, "Option", "ViewLogMenu", SettingKind::Flag},
    {SettingId::IconSmall, "Option", "IconSmallMenu", SettingKind::Flag},
    {SettingId::IconBig, "Option", "IconBigMenu", SettingKind::Flag},
    {SettingId::WindowState, "Option", "Window", SettingKind::Text},  // wsNormal or wsMaximized
    {SettingId::Height, "Option", "Height", SettingKind::Number},
    {SettingId::Width, "Option", "Width", SettingKind::Number},
    {SettingId::AutoCheck, "Option", "CheckBoxAutoCheck", SettingKind::Flag},
    {SettingId::Language, "Language", "Language", SettingKind::Text},
    {SettingId::PrimaryServer, "Update", "Primary", SettingKind::Text},
    {SettingId::MirrorServer, "Update", "Mirror", SettingKind::Text},
};
constexpr const SettingKey& KeyOf(SettingId id) {
    for (const SettingKey& key : kSettingKeys) {
        if (key.id == id)
            return key;
    }
    return kSettingKeys[0];  // never reached: every id has its key
}

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

// The options kept as "1" or "0", each shown by the menu item of its key's name.
struct OptionKey {
    SettingId id;
    bool MainSettings::*field;
};
inline constexpr OptionKey kOptionKeys[] = {
    {SettingId::ThemeAuto, &MainSettings::themeAuto},
    {SettingId::ThemeLight, &MainSettings::themeLight},
    {SettingId::ThemeDark, &MainSettings::themeDark},
    {SettingId::ViewLog, &MainSettings::viewLog},
    {SettingId::IconSmall, &MainSettings::iconSmall},
    {SettingId::IconBig, &MainSettings::iconBig},
};

// Everything the settings file holds, read once at start.
struct Settings {
    // The window's size is 0 when the file has none (or the window was maximized).
    MainSettings main;
    bool autoCheck = true;  // the update check at start
    std::string language;   // empty: none chosen
    // An organisation's own update servers; nothing when the file names none.
    std::optional<std::string> primaryServer;
    std::optional<std::string> mirrorServer;
};

// The parts of the file each window writes, when it writes.
enum class SettingsGroup { MainWindow, Language, Updater };

Settings ReadSettings(const IniDocument& document);
// Writes one group's keys; every other entry of the document stays as it is.
void WriteSettings(const Settings& settings, SettingsGroup group, IniDocument& document);

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
