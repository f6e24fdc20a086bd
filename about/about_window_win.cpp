#include "about/about_window_win.h"

#include <commctrl.h>
#include <dwmapi.h>
#include <shellapi.h>

#include "about/FileInfoUtils.h"
#include "appearance/theme_win.h"
#include "foundation/platform_win.h"
#include "foundation/system_library_win.h"
#include "foundation/win_text.h"
#include "ui/control_ids.h"
#include "ui/fonts_win.h"
#include "ui/modal_win.h"
#include "ui/stored_names.h"
#include "ui/window_proc_win.h"

namespace corvandel {

namespace {

// The client area at 96 DPI; the window cannot be resized, and its size scales with the DPI
// whatever the frame around it.
constexpr int kClientWidth = 344;
constexpr int kClientHeight = 175;
constexpr int kButtonBarHeight = 35;
constexpr int kLabelHeight = 16;
constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU | WS_BORDER;
constexpr DWORD kExStyle = WS_EX_APPWINDOW;
// DWMWA_WINDOW_CORNER_PREFERENCE and DWMWCP_ROUND, newer than the headers of the toolchain.
constexpr DWORD kDwmWindowCornerPreference = 33;
constexpr DWORD kDwmCornerRound = 2;

namespace names = stored::about_window;

struct Link {
    stored::ComponentName name;
    const char* caption;
    const char* target;
};

// The contact links of the window.
constexpr Link kLinks[] = {
    {names::kLabelTelegram, "Telegram", "https://t.me/corvandel"},
    // Addresses under the domain reserved for examples, until the project has mailboxes of
    // its own; these four entries are the only place that names them.
    {names::kLabelGMail, "mail@corvandel.example", "mailto:mail@corvandel.example"},
    {names::kLabelYaMail, "support@corvandel.example", "mailto:support@corvandel.example"},
    {names::kLabelMainWebSite, "Сайт основной", "https://corvandel.example/"},
};

}  // namespace

AboutWindow::~AboutWindow() = default;

bool AboutWindow::Create() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterRoutedClass<AboutWindow>(stored::kAboutWindow.windowClass, CS_DROPSHADOW, false))
        return false;

    // A top-level window of its own with its own taskbar button: owned by the desktop. It takes
    // its size once its DPI is known.
    hwnd_ =
        CreateWindowExW(kExStyle, stored::kAboutWindow.windowClass, Widen("О программе").c_str(),
                        kStyle, 0, 0, 0, 0, GetDesktopWindow(), nullptr, instance, this);
    if (hwnd_ == nullptr)
        return false;
    // Rounded corners where the system draws them (Windows 11); elsewhere the call does nothing.
    const DWORD round = kDwmCornerRound;
    CORVANDEL_SYSTEM_CALL(L"dwmapi.dll", DwmSetWindowAttribute)
    (hwnd_, kDwmWindowCornerPreference, &round, sizeof round);

    // The controls are made without fonts: ApplyDpi gives them the fonts of the window's DPI.
    auto label = [&](TextControl& control, const stored::ComponentName& name,
                     const std::string& text, DWORD extra) {
        control.CreateCaptioned(components_, name, hwnd_, 0, WC_STATICW,
                                WS_VISIBLE | SS_CENTER | extra, 0, nullptr, text);
    };
    AddWindowComponent(components_, stored::kAboutWindow.form, hwnd_, "О программе");
    label(LabelVersion, names::kLabelVersion, "", 0);
    label(LabelCopyright, names::kLabelCopyright, GetLegalCopyright(ExecutablePath()), 0);
    label(LabelTelegram, kLinks[0].name, kLinks[0].caption, SS_NOTIFY);
    label(LabelGMail, kLinks[1].name, kLinks[1].caption, SS_NOTIFY);
    label(LabelYaMail, kLinks[2].name, kLinks[2].caption, SS_NOTIFY);
    label(LabelMainWebSite, kLinks[3].name, kLinks[3].caption, SS_NOTIFY);
    Image1.Create(components_, names::kImage1, hwnd_, 0, WC_STATICW,
                  WS_VISIBLE | SS_ICON | SS_CENTERIMAGE, 0, nullptr);
    Button1.CreateCaptioned(components_, names::kButton1, hwnd_, IDOK, WC_BUTTONW,
                            WS_VISIBLE | BS_DEFPUSHBUTTON, 0, nullptr, "Ok");
    components_.AddAll(names::kTextOnly);
    ApplyDpi(WindowDpi(hwnd_), nullptr);
    AppTheme::Instance().AddWindow(hwnd_);
    return true;
}

void AboutWindow::ApplyDpi(int dpi, const RECT* suggested) {
    scale_.dpi = dpi;
    // The controls take the new fonts before the old ones are deleted.
    OwnedFont font = DesignFont(scale_(11));
    OwnedFont boldFont = DesignFont(scale_(11), FW_BOLD);
    OwnedFont linkFont = DesignFont(scale_(11), FW_NORMAL, true);
    LabelVersion.SetFont(font.Get(), false);
    LabelCopyright.SetFont(font.Get(), false);
    for (const TextControl* link : {&LabelTelegram, &LabelGMail, &LabelYaMail, &LabelMainWebSite})
        link->SetFont(linkFont.Get(), false);
    Button1.SetFont(boldFont.Get(), false);
    font_ = std::move(font);
    boldFont_ = std::move(boldFont);
    linkFont_ = std::move(linkFont);
    // The program's icon drawn at the size of this DPI, not stretched from another.
    OwnedIcon icon(static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), L"MAINICON", IMAGE_ICON, scale_(32), scale_(32), 0)));
    SendMessageW(Image1, STM_SETICON, reinterpret_cast<WPARAM>(icon.Get()), 0);
    icon_ = std::move(icon);

    PlaceFixedWindow(hwnd_, suggested, SIZE{kClientWidth, kClientHeight}, kStyle, kExStyle, dpi);
    Layout();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void AboutWindow::Layout() {
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int width = client.right;
    const int body = client.bottom - scale_(kButtonBarHeight);
    MoveWindow(Image1, scale_(8), (body - scale_(32)) / 2, scale_(32), scale_(32), FALSE);
    int top = scale_(6);
    for (HWND label : std::initializer_list<HWND>{LabelVersion, LabelCopyright, LabelTelegram,
                                                  LabelGMail, LabelYaMail, LabelMainWebSite}) {
        MoveWindow(label, scale_(48), top, width - scale_(56), scale_(kLabelHeight), FALSE);
        top += scale_(kLabelHeight + 4);
    }
    MoveWindow(Button1, 0, body, width, scale_(kButtonBarHeight), FALSE);
}

void AboutWindow::ShowModal(HWND mainWindow, const std::string& versionLine) {
    components_.Find(names::kLabelVersion)->Set("Caption", versionLine);
    CenterOnScreen(hwnd_);
    closed_ = false;
    EnableWindow(mainWindow, FALSE);
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    SetFocus(Button1);
    RunModalLoop(hwnd_, closed_);
    // The main window gets the focus back before this window hides, so it is not
    // activated anew.
    EnableWindow(mainWindow, TRUE);
    SetForegroundWindow(mainWindow);
    ShowWindow(hwnd_, SW_HIDE);
}

void AboutWindow::OpenLink(HWND label) {
    for (size_t i = 0; i < std::size(kLinks); ++i) {
        const HWND labels[] = {LabelTelegram, LabelGMail, LabelYaMail, LabelMainWebSite};
        if (labels[i] == label) {
            ShellExecuteW(hwnd_, L"open", Widen(kLinks[i].target).c_str(), nullptr, nullptr,
                          SW_SHOW);
        }
    }
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

LRESULT AboutWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // The links colour their labels themselves; everything else is the look's.
    if (message != WM_CTLCOLORSTATIC) {
        if (const auto drawn = AppTheme::Instance().HandleMessage(hwnd_, message, wParam, lParam))
            return *drawn;
    }
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                closed_ = true;  // Button1Click
                return 0;
            }
            if (HIWORD(wParam) == STN_CLICKED)
                OpenLink(reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_CTLCOLORSTATIC: {
            const HWND control = reinterpret_cast<HWND>(lParam);
            const HDC dc = reinterpret_cast<HDC>(wParam);
            AppTheme& theme = AppTheme::Instance();
            const auto themed = theme.HandleMessage(hwnd_, message, wParam, lParam);
            SetBkMode(dc, TRANSPARENT);
            if (control == LabelTelegram || control == LabelGMail || control == LabelYaMail ||
                control == LabelMainWebSite) {
                SetTextColor(dc, theme.Active() ? theme.Colors().link : RGB(0, 0, 255));
            }
            return themed ? *themed : reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_SETCURSOR: {
            const HWND control = reinterpret_cast<HWND>(wParam);
            if (control == LabelTelegram || control == LabelGMail || control == LabelYaMail ||
                control == LabelMainWebSite) {
                SetCursor(LoadCursorW(nullptr, IDC_HAND));
                return TRUE;
            }
            break;
        }
        case WM_DPICHANGED:
            // Another monitor or another scale: fonts, icon and layout anew, in the place the
            // system suggests.
            ApplyDpi(DpiOfMessage(wParam), &SuggestedRect(lParam));
            return 0;
        case WM_CLOSE:
            closed_ = true;
            return 0;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace corvandel
