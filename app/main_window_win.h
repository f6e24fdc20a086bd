#pragma once
// The main window: the program list, its status bar and the scan that fills them.

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "app/platform_win.h"
#include "app/registry_win.h"
#include "inventory/uninstall_entry.h"

namespace corvandel {

extern bool PortableMode;

class TForm1 {
  public:
    TForm1();
    ~TForm1();
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    // Creates the window (runs FormCreate); it shows only once the program may run.
    bool Create();
    void Show(int showCommand);
    HWND Handle() const { return hwnd_; }

    bool IsWindows10Or11();
    void globLoadUninstall();

  private:
    class ScanToList;

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void FormCreate();
    void FormActivate();
    void FormClose();
    void FormDestroy();
    void CreateControls();
    void Layout();
    void LoadFromReg();
    void FillList();
    void ListViewUninstallGetDispInfo(NMLVDISPINFOW& info);
    void SetStatusText(int panel, const std::string& text);
    // Handles pending messages; false when the window is closing.
    bool ProcessMessages();

    HWND hwnd_ = nullptr;
    HWND ListViewUninstall = nullptr;
    HWND StatusBarUninstall = nullptr;
    HFONT font_ = nullptr;

    Win32RegistryApi registry_;
    Win32FileSystem files_;
    Win32SpecialFolders folders_;
    Win32Locale locale_;

    std::vector<UninstallEntry> rows_;  // what ListViewUninstall shows, in its order
    std::wstring dispText_;
    int sortDirection_ = 1;
    int placeholderIcon_ = 0;
    bool activated_ = false;
    bool scanning_ = false;
    bool closeRequested_ = false;
};

}  // namespace corvandel
