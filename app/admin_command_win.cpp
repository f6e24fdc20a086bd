#include "app/admin_command_win.h"

#include <windows.h>

#include <iterator>
#include <string>

#include "app/leftover_records_win.h"
#include "app/list_columns_win.h"
#include "cmdline/command_line_win.h"
#include "foundation/platform_win.h"
#include "foundation/registry_win.h"
#include "settings/languages_win.h"
#include "settings/settings_win.h"
#include "ui/stored_names.h"

namespace corvandel {

int RunAdministratorCommand(const std::vector<std::string>& args) {
    // Dates and texts as the window shows them.
    SetThreadLocale(1049);
    CommandLineServices services;
    // The report's column captions in the language the window speaks: the list's component
    // alone, translated from the chosen language file. The settings are only read.
    ComponentList components;
    components.Add(stored::kMainWindow.form);
    Component& list = components.Add(stored::main_window::kListViewUninstall);
    for (size_t column = 0; column < std::size(kProgramColumns); ++column)
        list.Define("Columns[" + std::to_string(column) + "].Caption",
                    kProgramColumns[column].caption);
    SettingsStore settings(IsPortableCopy());
    settings.Load();
    ApplyLanguage({{&components, WindowRole::Main}}, settings.Values().language);
    for (size_t column = 0; column < std::size(kProgramColumns); ++column)
        services.reportCaptions.push_back(
            list.Text("Columns[" + std::to_string(column) + "].Caption"));
    // A record of each entry is kept before its uninstaller runs, as the window's queue does,
    // so that what the uninstaller leaves can be found later.
    services.beforeUninstall = [](const std::string& rootName, const std::string& keyPath) {
        Win32RegistryApi registry;
        const Win32FileSystem files;
        const Win32SpecialFolders folders;
        return KeepRecord(registry, files, folders, rootName, keyPath);
    };
    services.recordFolder = RecordFolder();
    services.quarantineFolder = QuarantineFolder();
    services.refusedDataFolder = ThisCopysDataFolder().refused;
    return RunCommandLine(args, services);
}

}  // namespace corvandel
