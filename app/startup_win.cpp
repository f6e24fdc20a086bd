// The program's entry: one instance at a time, the Russian thread locale, the main window,
// the Windows 10 test, the message loop.

#include <windows.h>

#include <commctrl.h>

#include "app/lang_texts.h"
#include "app/main_window_win.h"
#include "app/win_text.h"

namespace {

// Lives until the process ends; the system closes it then.
HANDLE InstanceMutex = nullptr;

bool IsAlreadyRunning() {
    InstanceMutex = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, L"Corvandel");
    if (InstanceMutex != nullptr)
        return true;
    InstanceMutex = CreateMutexW(nullptr, FALSE, L"Corvandel");
    return false;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    if (IsAlreadyRunning())
        return 0;
    SetThreadLocale(1049);

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    corvandel::TForm1 form1;
    if (!form1.Create())
        return 1;

    if (!form1.IsWindows10Or11()) {
        MessageBoxW(nullptr, corvandel::Widen(corvandel::lang::kLangOnlyWindows).c_str(),
                    corvandel::Widen(corvandel::lang::kLangError).c_str(), MB_ICONERROR);
        return 0;
    }

    form1.Show(showCommand);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
