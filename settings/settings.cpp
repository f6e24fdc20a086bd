#include "settings/settings.h"

namespace corvandel {

namespace {

constexpr const char* kSection = "Option";
constexpr const char* kMaximized = "wsMaximized";

std::string AddSeparator(const std::string& folder) {
    return !folder.empty() && folder.back() == '\\' ? folder : folder + "\\";
}

}  // namespace

std::string SettingsFilePath(bool portable, const std::string& exeFolderWithSeparator,
                             const std::string& appDataFolder, const std::string& companyName) {
    if (portable)
        return exeFolderWithSeparator + "Config\\Option.ini";
    return AddSeparator(appDataFolder) + AddSeparator(companyName) +
           "Corvandel\\Config\\Option.ini";
}

MainSettings LoadMainSettings(const IniDocument& document, int currentHeight, int currentWidth) {
    MainSettings settings;
    settings.themeAuto = document.ReadBool(kSection, "ThemeAuto", false);
    settings.themeLight = document.ReadBool(kSection, "ThemeLight", false);
    settings.themeDark = document.ReadBool(kSection, "ThemeDark", false);
    settings.viewLog = document.ReadBool(kSection, "ViewLogMenu", false);
    settings.iconSmall = document.ReadBool(kSection, "IconSmallMenu", false);
    settings.iconBig = document.ReadBool(kSection, "IconBigMenu", false);
    settings.maximized = document.ReadString(kSection, "Window", "") == kMaximized;
    settings.height = currentHeight;
    settings.width = currentWidth;
    if (!settings.maximized) {
        settings.height = document.ReadInteger(kSection, "Height", currentHeight);
        settings.width = document.ReadInteger(kSection, "Width", currentWidth);
    }
    return settings;
}

void SaveMainSettings(const MainSettings& settings, IniDocument& document) {
    document.WriteBool(kSection, "ThemeAuto", settings.themeAuto);
    document.WriteBool(kSection, "ThemeLight", settings.themeLight);
    document.WriteBool(kSection, "ThemeDark", settings.themeDark);
    document.WriteBool(kSection, "ViewLogMenu", settings.viewLog);
    document.WriteBool(kSection, "IconSmallMenu", settings.iconSmall);
    document.WriteBool(kSection, "IconBigMenu", settings.iconBig);
    if (settings.maximized) {
        // The size of a maximized window is the screen's; the restored size stays as saved.
        document.WriteString(kSection, "Window", kMaximized);
        return;
    }
    document.WriteString(kSection, "Window", "wsNormal");
    document.WriteInteger(kSection, "Height", settings.height);
    document.WriteInteger(kSection, "Width", settings.width);
}

ThemeChoice ChosenTheme(const MainSettings& settings) {
    if (settings.themeDark)
        return ThemeChoice::Dark;
    if (settings.themeLight)
        return ThemeChoice::Light;
    if (settings.themeAuto)
        return ThemeChoice::Auto;
    return ThemeChoice::None;
}

bool MenuOptionsDiffer(const MainSettings& a, const MainSettings& b) {
    return a.themeAuto != b.themeAuto || a.themeLight != b.themeLight ||
           a.themeDark != b.themeDark || a.viewLog != b.viewLog || a.iconSmall != b.iconSmall ||
           a.iconBig != b.iconBig;
}

}  // namespace corvandel
