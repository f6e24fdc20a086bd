#include "foundation/session_shell_win.h"

#include <windows.h>

#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlobj.h>

#include "foundation/folder_security_win.h"
#include "foundation/handle_win.h"

namespace corvandel {

namespace {

// The desktop window's shell object, asked to run the address in its own process: the
// documented way for an elevated program to start something as the desktop's user.
bool ExecuteInDesktopShell(const std::wstring& address) {
    ComHeld<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                reinterpret_cast<void**>(&windows.p))))
        return false;
    VARIANT empty{};
    long window = 0;
    ComHeld<IDispatch> desktop;
    if (windows.p->FindWindowSW(&empty, &empty, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                                &desktop.p) != S_OK ||
        desktop.p == nullptr)
        return false;
    ComHeld<IServiceProvider> provider;
    ComHeld<IShellBrowser> browser;
    ComHeld<IShellView> view;
    ComHeld<IDispatch> background;
    ComHeld<IShellFolderViewDual> folderView;
    ComHeld<IDispatch> application;
    ComHeld<IShellDispatch2> shell;
    if (FAILED(desktop.p->QueryInterface(IID_IServiceProvider,
                                         reinterpret_cast<void**>(&provider.p))) ||
        FAILED(provider.p->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                        reinterpret_cast<void**>(&browser.p))) ||
        FAILED(browser.p->QueryActiveShellView(&view.p)) ||
        FAILED(view.p->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch,
                                     reinterpret_cast<void**>(&background.p))) ||
        FAILED(background.p->QueryInterface(IID_IShellFolderViewDual,
                                            reinterpret_cast<void**>(&folderView.p))) ||
        FAILED(folderView.p->get_Application(&application.p)) ||
        FAILED(
            application.p->QueryInterface(IID_IShellDispatch2, reinterpret_cast<void**>(&shell.p))))
        return false;
    BSTR file = SysAllocString(address.c_str());
    VARIANT none{};
    VARIANT show{};
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    const HRESULT result = shell.p->ShellExecute(file, none, none, none, show);
    SysFreeString(file);
    return SUCCEEDED(result);
}

}  // namespace

bool OpenAsDesktopUser(const std::wstring& address) {
    if (!RunsElevated()) {
        return reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", address.c_str(), nullptr,
                                                       nullptr, SW_SHOWNORMAL)) > 32;
    }
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const bool opened = ExecuteInDesktopShell(address);
    if (SUCCEEDED(com))
        CoUninitialize();
    return opened;
}

}  // namespace corvandel
