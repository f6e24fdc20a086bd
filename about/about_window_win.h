#pragma once
// The About window: the program's icon, the main window's caption, the copyright from the
// version resource and four contact links. Shown modally from the general menu.

#include <windows.h>

#include <string>

#include "foundation/handle_win.h"
#include "ui/component.h"
#include "ui/controls_win.h"
#include "ui/dpi_win.h"

namespace corvandel {

class AboutWindow {
  public:
    AboutWindow() = default;
    ~AboutWindow();
    AboutWindow(const AboutWindow&) = delete;
    AboutWindow& operator=(const AboutWindow&) = delete;

    bool Create();  // FormCreate: icon and copyright, once
    // FormShow copies the version line; returns when the window is closed.
    void ShowModal(HWND mainWindow, const std::string& versionLine);
    ComponentList& Components() { return components_; }

  private:
    template <typename Window>
    friend LRESULT CALLBACK RoutedWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Fonts and icon for the DPI, given to the controls; then the window takes the suggested
    // rectangle (WM_DPICHANGED) or, without one, the design's size, and is laid out.
    void ApplyDpi(int dpi, const RECT* suggested);
    void Layout();
    void OpenLink(HWND label);

    HWND hwnd_ = nullptr;
    TextControl LabelVersion;
    TextControl LabelCopyright;
    TextControl LabelTelegram;
    TextControl LabelGMail;
    TextControl LabelYaMail;
    TextControl LabelMainWebSite;
    Control Image1;
    Button Button1;
    OwnedFont font_;
    OwnedFont boldFont_;
    OwnedFont linkFont_;
    OwnedIcon icon_;
    bool closed_ = false;
    DpiScale scale_;
    ComponentList components_;
};

}  // namespace corvandel
