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
    for (const OptionKey& option : kOptionKeys)
        settings.*option.field = document.ReadBool(kSection, option.key, false);
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
    for (const OptionKey& option : kOptionKeys)
        document.WriteBool(kSection, option.key, settings.*option.field);
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
    for (const OptionKey& option : kOptionKeys) {
        if (a.*option.field != b.*option.field)
            return true;
    }
    return false;
}

}  // namespace corvandel
