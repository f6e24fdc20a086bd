#include "appearance/theme_win.h"
#include "foundation/system_library_win.h"
#include "ui/dpi_win.h"

#include <commctrl.h>
#include <dwmapi.h>
#include <uxtheme.h>

#include <algorithm>

namespace corvandel {

namespace {

// DWMWA_USE_IMMERSIVE_DARK_MODE, and its number before Windows 10 20H1.
constexpr DWORD kDwmDarkTitle = 20;
constexpr DWORD kDwmDarkTitleBefore20H1 = 19;
constexpr UINT_PTR kPaintedSubclass = 0x4356;
enum PaintedKind : DWORD_PTR { kHeader = 1, kStatusBar = 2, kFramed = 3, kGroupBox = 4 };

bool HighContrast() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof contrast;
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// A pen for lines, released when it goes out of scope.
class LinePen {
  public:
    LinePen(HDC dc, COLORREF color, int width = 1)
        : dc_(dc), pen_(CreatePen(PS_SOLID, width, color)), old_(SelectObject(dc, pen_)) {}
    ~LinePen() {
        SelectObject(dc_, old_);
        DeleteObject(pen_);
    }
    LinePen(const LinePen&) = delete;
    LinePen& operator=(const LinePen&) = delete;

  private:
    HDC dc_;
    HPEN pen_;
    HGDIOBJ old_;
};

void Line(HDC dc, int x1, int y1, int x2, int y2) {
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
}

std::wstring WindowTextOf(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

// The painting of a control the program draws itself: its client area filled with the
// background, its own font and the text colour selected, all put back at the end.
class ControlPaint {
  public:
    ControlPaint(HWND control, AppTheme& theme, COLORREF background, COLORREF text)
        : control_(control), dc_(BeginPaint(control, &paint_)) {
        GetClientRect(control, &client_);
        FillRect(dc_, &client_, theme.Brush(background));
        oldFont_ =
            SelectObject(dc_, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
        SetBkMode(dc_, TRANSPARENT);
        SetTextColor(dc_, text);
    }
    ~ControlPaint() {
        SelectObject(dc_, oldFont_);
        EndPaint(control_, &paint_);
    }
    ControlPaint(const ControlPaint&) = delete;
    ControlPaint& operator=(const ControlPaint&) = delete;
    HDC Dc() const { return dc_; }
    const RECT& Client() const { return client_; }

  private:
    HWND control_;
    PAINTSTRUCT paint_{};
    HDC dc_;
    RECT client_{};
    HGDIOBJ oldFont_ = nullptr;
};

// A list header: flat cells in the look's colours with a divider after each.
void PaintHeader(HWND header, AppTheme& theme) {
    const Palette colors = theme.Colors();
    const ControlPaint paint(header, theme, colors.header, colors.headerText);
    const HDC dc = paint.Dc();
    const RECT& client = paint.Client();
    const LinePen pen(dc, colors.line);
    const int count = Header_GetItemCount(header);
    for (int i = 0; i < count; ++i) {
        RECT cell{};
        if (!Header_GetItemRect(header, i, &cell) || cell.right <= cell.left)
            continue;
        wchar_t text[256] = {};
        HDITEMW item{};
        item.mask = HDI_TEXT | HDI_FORMAT;
        item.pszText = text;
        item.cchTextMax = 256;
        Header_GetItem(header, i, &item);
        RECT area{cell.left + 6, cell.top, cell.right - 6, cell.bottom};
        const int justify = item.fmt & HDF_JUSTIFYMASK;
        const UINT align = justify == HDF_RIGHT    ? DT_RIGHT
                           : justify == HDF_CENTER ? DT_CENTER
                                                   : DT_LEFT;
        DrawTextW(dc, text, -1, &area,
                  align | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
        Line(dc, cell.right - 1, cell.top + 3, cell.right - 1, cell.bottom - 3);
    }
    Line(dc, client.left, client.bottom - 1, client.right, client.bottom - 1);
}

// The status bar: each panel's text on the look's background, dividers between them.
void PaintStatusBar(HWND status, AppTheme& theme) {
    const Palette colors = theme.Colors();
    const ControlPaint paint(status, theme, colors.header, colors.headerText);
    const HDC dc = paint.Dc();
    const RECT& client = paint.Client();
    const LinePen pen(dc, colors.line);
    Line(dc, client.left, client.top, client.right, client.top);
    int parts[32] = {};
    const int count =
        static_cast<int>(SendMessageW(status, SB_GETPARTS, 32, reinterpret_cast<LPARAM>(parts)));
    int left = 0;
    for (int i = 0; i < count; ++i) {
        const int right = parts[i] < 0 ? client.right : parts[i];
        const int length = LOWORD(SendMessageW(status, SB_GETTEXTLENGTHW, i, 0));
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        SendMessageW(status, SB_GETTEXTW, i, reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<size_t>(length));
        RECT area{left + 4, client.top + 1, right - 4, client.bottom};
        DrawTextW(dc, text.c_str(), -1, &area,
                  DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
        if (i + 1 < count)
            Line(dc, right - 1, client.top + 3, right - 1, client.bottom - 3);
        left = right;
    }
}

// The sunken edge of a list or edit box in the look's colours: a line outside, the control's
// own background inside. The system draws the edge (and the scroll bars) first.
void PaintEdge(HWND control, AppTheme& theme) {
    if ((GetWindowLongW(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) == 0)
        return;
    const Palette colors = theme.Colors();
    const bool list = _wcsicmp(ClassOf(control).c_str(), WC_LISTVIEWW) == 0;
    const HDC dc = GetWindowDC(control);
    RECT frame{};
    GetWindowRect(control, &frame);
    OffsetRect(&frame, -frame.left, -frame.top);
    FrameRect(dc, &frame, theme.Brush(colors.line));
    InflateRect(&frame, -1, -1);
    FrameRect(dc, &frame, theme.Brush(list ? colors.list : colors.field));
    ReleaseDC(control, dc);
}

// A group box: a frame in the look's line colour with its caption on the window's background.
void PaintGroupBox(HWND box, AppTheme& theme) {
    const Palette colors = theme.Colors();
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(box, &paint);
    RECT client{};
    GetClientRect(box, &client);
    const HGDIOBJ oldFont =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(box, WM_GETFONT, 0, 0)));
    const std::wstring text = WindowTextOf(box);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    RECT frame = client;
    frame.top += metrics.tmHeight / 2;
    FrameRect(dc, &frame, theme.Brush(colors.line));
    if (!text.empty()) {
        RECT caption{client.left + 6, client.top, client.right - 6, client.top + metrics.tmHeight};
        DrawTextW(dc, text.c_str(), -1, &caption, DT_SINGLELINE | DT_CALCRECT | DT_NOPREFIX);
        caption.right += 4;
        FillRect(dc, &caption, theme.Brush(colors.window));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, colors.text);
        OffsetRect(&caption, 2, 0);
        DrawTextW(dc, text.c_str(), -1, &caption, DT_SINGLELINE | DT_NOPREFIX);
    }
    SelectObject(dc, oldFont);
    EndPaint(box, &paint);
}

LRESULT CALLBACK PaintedControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR, DWORD_PTR kind) {
    AppTheme& theme = AppTheme::Instance();
    if (theme.Active() && kind == kFramed) {
        // A list drawn through a buffer leaves its erasing to the system, which would show
        // the class's white for a moment.
        const bool list = _wcsicmp(ClassOf(window).c_str(), WC_LISTVIEWW) == 0;
        if (message == WM_ERASEBKGND && list) {
            RECT client{};
            GetClientRect(window, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, theme.Brush(theme.Colors().list));
            return 1;
        }
        // An empty list is only its background: drawn here, it never shows the white that
        // the list itself may put up before its first rows.
        if (message == WM_PAINT && list && wParam == 0 && ListView_GetItemCount(window) == 0) {
            PAINTSTRUCT paint;
            const HDC dc = BeginPaint(window, &paint);
            FillRect(dc, &paint.rcPaint, theme.Brush(theme.Colors().list));
            EndPaint(window, &paint);
            if (const HWND header = ListView_GetHeader(window))
                UpdateWindow(header);
            return 0;
        }
        if (message == WM_NCPAINT) {
            const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
            PaintEdge(window, theme);
            return result;
        }
    } else if (theme.Active()) {
        if (message == WM_ERASEBKGND)
            return 1;
        if (message == WM_PAINT) {
            if (kind == kHeader)
                PaintHeader(window, theme);
            else if (kind == kGroupBox)
                PaintGroupBox(window, theme);
            else
                PaintStatusBar(window, theme);
            return 0;
        }
    }
    if (message == WM_NCDESTROY)
        RemoveWindowSubclass(window, PaintedControlProc, kPaintedSubclass);
    return DefSubclassProc(window, message, wParam, lParam);
}

std::wstring MenuItemText(HMENU menu, UINT position) {
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_STRING;
    if (!GetMenuItemInfoW(menu, position, TRUE, &item))
        return std::wstring();
    std::wstring text(item.cch + 1, L'\0');
    item.dwTypeData = text.data();
    item.cch = static_cast<UINT>(text.size());
    GetMenuItemInfoW(menu, position, TRUE, &item);
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

// A function a system library exports, by name or number; null when it has none.
template <typename Function>
Function Export(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Windows 10 1903 and later have an application-wide dark switch for the parts the system
// draws itself (context menus of edit boxes, scroll bars). It is exported by number only, so
// it is used only on Windows itself, from that build on: elsewhere (Wine among them) the
// number may name another function or none.
void SetSystemPartsDark(bool dark) {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") != nullptr)
        return;
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    const auto getVersion = Export<RtlGetVersionFn>(ntdll, "RtlGetVersion");
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (getVersion == nullptr || getVersion(&version) != 0 || version.dwMajorVersion < 10 ||
        version.dwBuildNumber < 18362)
        return;
    const HMODULE uxtheme = GetModuleHandleW(L"uxtheme.dll");
    if (uxtheme == nullptr)
        return;
    // SetPreferredAppMode(ForceDark = 2 / ForceLight = 3) and FlushMenuThemes.
    using SetPreferredAppModeFn = int(WINAPI*)(int);
    using FlushMenuThemesFn = void(WINAPI*)();
    const auto setMode = Export<SetPreferredAppModeFn>(uxtheme, MAKEINTRESOURCEA(135));
    const auto flush = Export<FlushMenuThemesFn>(uxtheme, MAKEINTRESOURCEA(136));
    if (setMode != nullptr)
        setMode(dark ? 2 : 3);
    if (flush != nullptr)
        flush();
}

}  // namespace

AppTheme& AppTheme::Instance() {
    static AppTheme theme;
    return theme;
}

Palette AppTheme::Colors() const {
    if (HighContrast()) {
        const auto sys = [](int index) { return static_cast<uint32_t>(GetSysColor(index)); };
        return Palette{
            .window = sys(COLOR_BTNFACE),
            .text = sys(COLOR_BTNTEXT),
            .field = sys(COLOR_WINDOW),
            .fieldText = sys(COLOR_WINDOWTEXT),
            .list = sys(COLOR_WINDOW),
            .listText = sys(COLOR_WINDOWTEXT),
            .recentText = sys(COLOR_WINDOWTEXT),
            .header = sys(COLOR_BTNFACE),
            .headerText = sys(COLOR_BTNTEXT),
            .line = sys(COLOR_WINDOWFRAME),
            .button = sys(COLOR_BTNFACE),
            .buttonHot = sys(COLOR_HIGHLIGHT),
            .buttonText = sys(COLOR_BTNTEXT),
            .menu = sys(COLOR_MENU),
            .menuText = sys(COLOR_MENUTEXT),
            .menuHot = sys(COLOR_HIGHLIGHT),
            .menuHotText = sys(COLOR_HIGHLIGHTTEXT),
            .grayText = sys(COLOR_GRAYTEXT),
            .link = sys(COLOR_HOTLIGHT),
        };
    }
    return PaletteFor(look_.value_or(Look::Light));
}

HBRUSH AppTheme::Brush(COLORREF color) {
    HBRUSH& brush = brushes_[color];
    if (brush == nullptr)
        brush = CreateSolidBrush(color);
    return brush;
}

COLORREF AppTheme::RecentTextColor(COLORREF built) const {
    return Active() ? Colors().recentText : built;
}

void AppTheme::SetAppTheme(const std::string& styleName) {
    const std::optional<Look> look = LookOfStyle(styleName);
    if (!look || look == look_)
        return;
    look_ = look;
    SetSystemPartsDark(look_ == Look::Dark);
    for (const HWND window : windows_) {
        if (IsWindow(window))
            Apply(window);
    }
}

void AppTheme::AddWindow(HWND window) {
    windows_.push_back(window);
    if (Active())
        Apply(window);
}

void AppTheme::Apply(HWND window) {
    // The system's dark title bar where it has one; elsewhere the call fails and changes nothing.
    const BOOL dark = look_ == Look::Dark;
    if (FAILED(CORVANDEL_SYSTEM_CALL(L"dwmapi.dll", DwmSetWindowAttribute)(window, kDwmDarkTitle,
                                                                           &dark, sizeof dark)))
        CORVANDEL_SYSTEM_CALL(L"dwmapi.dll", DwmSetWindowAttribute)
    (window, kDwmDarkTitleBefore20H1, &dark, sizeof dark);
    EnumChildWindows(window, &AppTheme::ApplyToChild, reinterpret_cast<LPARAM>(this));
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

BOOL CALLBACK AppTheme::ApplyToChild(HWND control, LPARAM self) {
    reinterpret_cast<AppTheme*>(self)->ApplyToControl(control);
    return TRUE;
}

void AppTheme::ApplyToControl(HWND control) {
    const Palette colors = Colors();
    const std::wstring kind = ClassOf(control);
    if (_wcsicmp(kind.c_str(), WC_BUTTONW) == 0) {
        // Push buttons are drawn by the program from now on.
        const LONG style = GetWindowLongW(control, GWL_STYLE);
        const LONG type = style & BS_TYPEMASK;
        if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON)
            SetWindowLongW(control, GWL_STYLE, (style & ~BS_TYPEMASK) | BS_OWNERDRAW);
        else if (type == BS_GROUPBOX)
            SetWindowSubclass(control, PaintedControlProc, kPaintedSubclass, kGroupBox);
    } else if (_wcsicmp(kind.c_str(), PROGRESS_CLASSW) == 0) {
        SendMessageW(control, PBM_SETBKCOLOR, 0, static_cast<LPARAM>(colors.field));
        SendMessageW(control, PBM_SETBARCOLOR, 0, static_cast<LPARAM>(colors.menuHot));
    } else if (_wcsicmp(kind.c_str(), WC_LISTVIEWW) == 0) {
        ListView_SetBkColor(control, colors.list);
        ListView_SetTextBkColor(control, colors.list);
        ListView_SetTextColor(control, colors.listText);
        // The system's own dark list and scroll bars where it has them.
        CORVANDEL_SYSTEM_CALL(L"uxtheme.dll", SetWindowTheme)
        (control, look_ == Look::Dark ? L"DarkMode_Explorer" : L"Explorer", nullptr);
        if (const HWND header = ListView_GetHeader(control))
            SetWindowSubclass(header, PaintedControlProc, kPaintedSubclass, kHeader);
        SetWindowSubclass(control, PaintedControlProc, kPaintedSubclass, kFramed);
    } else if (_wcsicmp(kind.c_str(), WC_EDITW) == 0) {
        SetWindowSubclass(control, PaintedControlProc, kPaintedSubclass, kFramed);
    } else if (_wcsicmp(kind.c_str(), STATUSCLASSNAMEW) == 0) {
        SetWindowSubclass(control, PaintedControlProc, kPaintedSubclass, kStatusBar);
    }
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
}

LRESULT AppTheme::ControlColor(HWND control, HDC dc) {
    const Palette colors = Colors();
    // Edit boxes, the read-only console among them, are fields; everything else sits on the
    // window's background.
    const bool field = _wcsicmp(ClassOf(control).c_str(), WC_EDITW) == 0;
    SetTextColor(dc, field ? colors.fieldText : colors.text);
    SetBkColor(dc, field ? colors.field : colors.window);
    return reinterpret_cast<LRESULT>(Brush(field ? colors.field : colors.window));
}

std::optional<LRESULT> AppTheme::HandleMessage(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    if (!Active())
        return std::nullopt;
    switch (message) {
        case WM_ERASEBKGND: {
            RECT client{};
            GetClientRect(window, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, Brush(Colors().window));
            return 1;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORLISTBOX:
            return ControlColor(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam));
        case WM_INITMENUPOPUP:
            PrepareMenu(reinterpret_cast<HMENU>(wParam));
            return std::nullopt;
        case WM_MEASUREITEM: {
            auto& measure = *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
            if (measure.CtlType != ODT_MENU)
                return std::nullopt;
            MeasureMenuItem(window, measure);
            return TRUE;
        }
        case WM_DRAWITEM: {
            const auto& draw = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (draw.CtlType == ODT_MENU)
                DrawMenuItem(draw);
            else if (draw.CtlType == ODT_BUTTON)
                DrawButton(draw);
            else
                return std::nullopt;
            return TRUE;
        }
    }
    return std::nullopt;
}

void AppTheme::PrepareMenu(HMENU menu) {
    MENUINFO info{};
    info.cbSize = sizeof info;
    info.fMask = MIM_BACKGROUND;
    info.hbrBack = Brush(Colors().menu);
    SetMenuInfo(menu, &info);
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        const auto position = static_cast<UINT>(i);
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE;
        if (!GetMenuItemInfoW(menu, position, TRUE, &item))
            continue;
        MenuPlace*& place = menuIndex_[{menu, position}];
        if (place == nullptr) {
            menuPlaces_.push_back({menu, position});
            place = &menuPlaces_.back();
        }
        // The item keeps its text; the program draws it.
        MENUITEMINFOW drawn{};
        drawn.cbSize = sizeof drawn;
        drawn.fMask = MIIM_FTYPE | MIIM_DATA;
        drawn.fType = item.fType | MFT_OWNERDRAW;
        drawn.dwItemData = reinterpret_cast<ULONG_PTR>(place);
        SetMenuItemInfoW(menu, position, TRUE, &drawn);
    }
}

HFONT AppTheme::MenuFont(int dpi) {
    HFONT& font = menuFonts_[dpi];
    if (font == nullptr) {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
        LOGFONTW logFont = metrics.lfMenuFont;
        const int systemDpi = static_cast<int>(GetDpiForSystem());
        logFont.lfHeight = MulDiv(logFont.lfHeight, dpi, systemDpi > 0 ? systemDpi : 96);
        font = CreateFontIndirectW(&logFont);
    }
    return font;
}

void AppTheme::MeasureMenuItem(HWND window, MEASUREITEMSTRUCT& measure) {
    const auto* place = reinterpret_cast<const MenuPlace*>(measure.itemData);
    if (place == nullptr)
        return;
    menuDpi_ = WindowDpi(window);
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE;
    GetMenuItemInfoW(place->menu, place->position, TRUE, &item);
    if (item.fType & MFT_SEPARATOR) {
        measure.itemWidth = static_cast<UINT>(ScaleForDpi(20, menuDpi_));
        measure.itemHeight = static_cast<UINT>(ScaleForDpi(7, menuDpi_));
        return;
    }
    const std::wstring text = MenuItemText(place->menu, place->position);
    const size_t tab = text.find(L'\t');
    const std::wstring label = text.substr(0, tab);
    const std::wstring shortcut = tab == std::wstring::npos ? L"" : text.substr(tab + 1);
    const HDC dc = GetDC(window);
    const HGDIOBJ old = SelectObject(dc, MenuFont(menuDpi_));
    RECT labelSize{}, shortcutSize{};
    DrawTextW(dc, label.c_str(), -1, &labelSize, DT_SINGLELINE | DT_CALCRECT);
    if (!shortcut.empty())
        DrawTextW(dc, shortcut.c_str(), -1, &shortcutSize, DT_SINGLELINE | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    const int gap = shortcut.empty() ? 0 : ScaleForDpi(24, menuDpi_) + shortcutSize.right;
    measure.itemWidth = static_cast<UINT>(ScaleForDpi(28, menuDpi_) + labelSize.right + gap +
                                          ScaleForDpi(24, menuDpi_));
    measure.itemHeight = static_cast<UINT>(
        std::max<int>(labelSize.bottom + ScaleForDpi(8, menuDpi_), ScaleForDpi(22, menuDpi_)));
}

void AppTheme::DrawMenuItem(const DRAWITEMSTRUCT& draw) {
    const auto* place = reinterpret_cast<const MenuPlace*>(draw.itemData);
    if (place == nullptr)
        return;
    const Palette colors = Colors();
    const HDC dc = draw.hDC;
    RECT area = draw.rcItem;
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE | MIIM_SUBMENU;
    GetMenuItemInfoW(place->menu, place->position, TRUE, &item);
    if (item.fType & MFT_SEPARATOR) {
        FillRect(dc, &area, Brush(colors.menu));
        const int middle = (area.top + area.bottom) / 2;
        RECT line{area.left + ScaleForDpi(4, menuDpi_), middle,
                  area.right - ScaleForDpi(4, menuDpi_), middle + 1};
        FillRect(dc, &line, Brush(colors.line));
        return;
    }
    const bool disabled = (draw.itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
    const bool selected = (draw.itemState & ODS_SELECTED) != 0 && !disabled;
    FillRect(dc, &area, Brush(selected ? colors.menuHot : colors.menu));
    const std::wstring text = MenuItemText(place->menu, place->position);
    const size_t tab = text.find(L'\t');
    const COLORREF ink = disabled   ? colors.grayText
                         : selected ? colors.menuHotText
                                    : colors.menuText;
    const int dpi = menuDpi_;
    const HGDIOBJ oldFont = SelectObject(dc, MenuFont(dpi));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ink);

    const int middle = (area.top + area.bottom) / 2;
    const int markX = area.left + ScaleForDpi(12, dpi);
    if (draw.itemState & ODS_CHECKED) {
        if (item.fType & MFT_RADIOCHECK) {
            const HGDIOBJ oldBrush = SelectObject(dc, Brush(ink));
            const LinePen pen(dc, ink);
            const int r = ScaleForDpi(3, dpi);
            Ellipse(dc, markX - r, middle - r, markX + r + 1, middle + r + 1);
            SelectObject(dc, oldBrush);
        } else {
            const LinePen pen(dc, ink, ScaleForDpi(2, dpi));
            const POINT tick[3] = {{markX - ScaleForDpi(4, dpi), middle},
                                   {markX - ScaleForDpi(1, dpi), middle + ScaleForDpi(3, dpi)},
                                   {markX + ScaleForDpi(5, dpi), middle - ScaleForDpi(4, dpi)}};
            Polyline(dc, tick, 3);
        }
    }
    RECT label{area.left + ScaleForDpi(28, dpi), area.top, area.right - ScaleForDpi(20, dpi),
               area.bottom};
    const std::wstring caption = text.substr(0, tab);
    DrawTextW(dc, caption.c_str(), -1, &label, DT_LEFT | DT_SINGLELINE | DT_VCENTER);
    if (tab != std::wstring::npos) {
        SetTextColor(dc, selected ? colors.menuHotText : colors.grayText);
        const std::wstring shortcut = text.substr(tab + 1);
        DrawTextW(dc, shortcut.c_str(), -1, &label,
                  DT_RIGHT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    if (item.hSubMenu != nullptr) {
        // The submenu's arrow in the item's colour; the system's own, drawn after this, is
        // kept off the item.
        const int x = area.right - ScaleForDpi(12, dpi);
        const int h = ScaleForDpi(4, dpi);
        const POINT arrow[3] = {
            {x - h / 2, middle - h}, {x + h / 2, middle}, {x - h / 2, middle + h}};
        const HGDIOBJ oldBrush = SelectObject(dc, Brush(ink));
        const LinePen pen(dc, ink);
        Polygon(dc, arrow, 3);
        SelectObject(dc, oldBrush);
        ExcludeClipRect(dc, area.right - ScaleForDpi(20, dpi), area.top, area.right, area.bottom);
    }
    SelectObject(dc, oldFont);
}

void AppTheme::DrawButton(const DRAWITEMSTRUCT& draw) {
    const Palette colors = Colors();
    const HDC dc = draw.hDC;
    RECT area = draw.rcItem;
    const bool pressed = (draw.itemState & ODS_SELECTED) != 0;
    const bool disabled = (draw.itemState & ODS_DISABLED) != 0;
    FillRect(dc, &area, Brush(pressed ? colors.buttonHot : colors.button));
    FrameRect(dc, &area, Brush(colors.line));

    int textTop = area.top;
    BUTTON_IMAGELIST images{};
    if (Button_GetImageList(draw.hwndItem, &images) && images.himl != nullptr) {
        int width = 0, height = 0;
        ImageList_GetIconSize(images.himl, &width, &height);
        const int x = (area.left + area.right - width) / 2;
        const int y = area.top + images.margin.top;
        ImageList_Draw(images.himl, 0, dc, x, y, ILD_TRANSPARENT);
        textTop = y + height + 4;
    }
    const std::wstring text = WindowTextOf(draw.hwndItem);
    const HGDIOBJ oldFont =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(draw.hwndItem, WM_GETFONT, 0, 0)));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, disabled ? colors.grayText : colors.buttonText);
    if (textTop > area.top) {
        RECT below{area.left + 1, textTop, area.right - 1, area.bottom - 1};
        DrawTextW(dc, text.c_str(), -1, &below, DT_CENTER | DT_TOP | DT_WORDBREAK);
    } else {
        DrawTextW(dc, text.c_str(), -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    SelectObject(dc, oldFont);
}

}  // namespace corvandel
