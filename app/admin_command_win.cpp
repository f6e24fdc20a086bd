#include "app/admin_command_win.h"

#include <windows.h>

#include "app/leftover_records_win.h"
#include "app/list_columns_win.h"
#include "cmdline/command_line_win.h"
#include "foundation/platform_win.h"
#include "foundation/registry_win.h"

namespace corvandel {

int RunAdministratorCommand(const std::vector<std::string>& args) {
    // Dates and texts as the window shows them.
    SetThreadLocale(1049);
    CommandLineServices services;
    for (const ColumnDesign& column : kProgramColumns)
        services.reportCaptions.emplace_back(column.caption);
    // A record of each entry is kept before its uninstaller runs, as the window's queue does,
    // so that what the uninstaller leaves can be found later.
    services.beforeUninstall = [](const std::string& rootName, const std::string& keyPath) {
        Win32RegistryApi registry;
        const Win32FileSystem files;
        const Win32SpecialFolders folders;
        KeepRecord(registry, files, folders, rootName, keyPath);
    };
    return RunCommandLine(args, services);
}

}  // namespace corvandel
