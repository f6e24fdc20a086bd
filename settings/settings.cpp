#include "settings/settings.h"

namespace corvandel {

namespace {

constexpr const char* kMaximized = "wsMaximized";

bool ReadFlag(const IniDocument& document, SettingId id, bool fallback) {
    const SettingKey& key = KeyOf(id);
    return document.ReadBool(key.section, key.name, fallback);
}

std::optional<std::string> ReadText(const IniDocument& document, SettingId id) {
    const SettingKey& key = KeyOf(id);
    // An entry that is not there gives back either default.
    const std::string value = document.ReadString(key.section, key.name, "a");
    if (value == "a" && document.ReadString(key.section, key.name, "b") == "b")
        return std::nullopt;
    return value;
}

void WriteFlag(IniDocument& document, SettingId id, bool value) {
    const SettingKey& key = KeyOf(id);
    document.WriteBool(key.section, key.name, value);
}

void WriteText(IniDocument& document, SettingId id, const std::string& value) {
    const SettingKey& key = KeyOf(id);
    document.WriteString(key.section, key.name, value);
}

void WriteNumber(IniDocument& document, SettingId id, int value) {
    const SettingKey& key = KeyOf(id);
    document.WriteInteger(key.section, key.name, value);
}

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
        settings.*option.field = ReadFlag(document, option.id, false);
    settings.maximized = ReadText(document, SettingId::WindowState) == kMaximized;
    settings.height = currentHeight;
    settings.width = currentWidth;
    if (!settings.maximized) {
        const SettingKey& height = KeyOf(SettingId::Height);
        const SettingKey& width = KeyOf(SettingId::Width);
        settings.height = document.ReadInteger(height.section, height.name, currentHeight);
        settings.width = document.ReadInteger(width.section, width.name, currentWidth);
    }
    return settings;
}

void SaveMainSettings(const MainSettings& settings, IniDocument& document) {
    for (const OptionKey& option : kOptionKeys)
        WriteFlag(document, option.id, settings.*option.field);
    if (settings.maximized) {
        // The size of a maximized window is the screen's; the restored size stays as saved.
        WriteText(document, SettingId::WindowState, kMaximized);
        return;
    }
    WriteText(document, SettingId::WindowState, "wsNormal");
    WriteNumber(document, SettingId::Height, settings.height);
    WriteNumber(document, SettingId::Width, settings.width);
}

Settings ReadSettings(const IniDocument& document) {
    Settings settings;
    settings.main = LoadMainSettings(document, 0, 0);
    settings.autoCheck = ReadFlag(document, SettingId::AutoCheck, true);
    settings.language = ReadText(document, SettingId::Language).value_or("");
    settings.primaryServer = ReadText(document, SettingId::PrimaryServer);
    settings.mirrorServer = ReadText(document, SettingId::MirrorServer);
    return settings;
}

void WriteSettings(const Settings& settings, SettingsGroup group, IniDocument& document) {
    switch (group) {
        case SettingsGroup::MainWindow:
            SaveMainSettings(settings.main, document);
            break;
        case SettingsGroup::Language:
            WriteText(document, SettingId::Language, settings.language);
            break;
        case SettingsGroup::Updater:
            // The servers are the administrator's to write; the program never does.
            WriteFlag(document, SettingId::AutoCheck, settings.autoCheck);
            break;
    }
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
