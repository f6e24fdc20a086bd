// The program's entry: the command line when arguments are given; otherwise one instance at a
// time, the Russian thread locale, the windows, the stored options, the Windows 10 test, the
// message loop.

#include <windows.h>

#include <commctrl.h>

#include <chrono>

#include "about/about_window_win.h"
#include "app/admin_command_win.h"
#include "app/leftover_records_win.h"
#include "app/main_window_win.h"
#include "cmdline/command_line_win.h"
#include "foundation/win_text.h"
#include "leftovers/leftovers_window_win.h"
#include "queue/queue_window_win.h"
#include "ui/stored_names.h"
#include "update/updater_window_win.h"

namespace {

// Lives until the process ends; the system closes it then.
HANDLE InstanceMutex = nullptr;

bool IsAlreadyRunning() {
    InstanceMutex = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, corvandel::stored::kInstanceMutex);
    if (InstanceMutex != nullptr)
        return true;
    InstanceMutex = CreateMutexW(nullptr, FALSE, corvandel::stored::kInstanceMutex);
    return false;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Libraries loaded from here on come from the system folder only, never from the folder
    // the program was started from (a portable copy may lie in Downloads beside anything).
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // With arguments the program is a command-line tool: no window, no settings, no update
    // check, and it runs beside an open window.
    if (const auto args = corvandel::ProcessArguments(); !args.empty())
        return corvandel::RunAdministratorCommand(args);
    if (IsAlreadyRunning())
        return 0;
    SetThreadLocale(1049);

    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    // The settings are read once, before any window is made.
    corvandel::SettingsStore settings(corvandel::IsPortableCopy());
    settings.Load();
    corvandel::MainWindow mainWindow(settings);
    mainWindow.StartScanEarly();
    if (!mainWindow.Create())
        return 1;
    corvandel::AboutWindow about;
    about.Create();
    mainWindow.SetAboutWindow(&about);
    // Its creation reads its option and may start the start-up check.
    corvandel::UpdaterWindow updater;
    updater.Create(settings);
    mainWindow.SetUpdateWindow(&updater);
    corvandel::QueueWindow queue;
    queue.Create(mainWindow.Handle());
    mainWindow.SetQueueWindow(&queue);
    corvandel::LeftoversWindow leftovers;
    leftovers.Create(mainWindow.Handle(), [] { return corvandel::QuarantineFolder(); });
    mainWindow.SetLeftoversWindow(&leftovers);
    mainWindow.LoadOptions();
    // Language files lose what no window can use, then the chosen one applies everywhere.
    corvandel::PruneLanguageFiles(mainWindow.LanguageWindows());
    mainWindow.LoadLanguage();
    corvandel::ApplyLanguage(mainWindow.LanguageWindows(), settings.Values().language);

    if (!mainWindow.IsWindows10Or11()) {
        // The texts come from the window's message items, so they follow its language.
        const auto& texts = mainWindow.Components();
        MessageBoxW(nullptr, corvandel::Widen(texts.Caption("LangOnlyWindows")).c_str(),
                    corvandel::Widen(texts.Caption("LangError")).c_str(), MB_ICONERROR);
        return 0;
    }

    mainWindow.Show();
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (mainWindow.PreTranslateMessage(msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    // The windows are gone. A request to an update server that the system does not break off
    // at once (a name lookup that waits for an absent network, say) is not waited for: the
    // process ends with it, as it would have with the window closed.
    if (!updater.StopWork(std::chrono::milliseconds(1500)))
        ExitProcess(static_cast<UINT>(msg.wParam));
    return static_cast<int>(msg.wParam);
}
