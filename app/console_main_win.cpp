// Corvandel.com, the console companion of Corvandel.exe: a command prompt waits for a console
// program and shows its output and exit code, which it does not for a windowed one; "cmd"
// picks the .com when the user types "Corvandel". With arguments it runs the command line in
// this console; without, it starts the window and returns.

#include <windows.h>

#include <string>

#include "app/admin_command_win.h"
#include "cmdline/command_line_win.h"
#include "foundation/platform_win.h"
#include "foundation/win_text.h"

int wmain(int, wchar_t**) {
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    const std::vector<std::string> args = corvandel::ProcessArguments();
    if (!args.empty())
        return corvandel::RunAdministratorCommand(args);
    const std::wstring program = corvandel::Widen(corvandel::ExecutableFolder() + "Corvandel.exe");
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        return 1;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
