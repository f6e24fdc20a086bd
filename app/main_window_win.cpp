#include "app/main_window_win.h"

#include <commctrl.h>
#include <shellapi.h>

#include "about/FileInfoUtils.h"
#include "app/control_ids.h"
#include "app/lang_texts.h"
#include "app/main_caption.h"
#include "app/win_text.h"
#include "app/windows_version.h"
#include "inventory/scan.h"
#include "inventory/sorting.h"

namespace corvandel {

bool PortableMode = false;

namespace {

constexpr UINT kMsgFirstActivation = WM_APP + 1;
constexpr int kClientWidth = 684;
constexpr int kClientHeight = 511;
constexpr int kMinWidth = 700;
constexpr int kMinHeight = 550;
constexpr ULONGLONG kScanPumpIntervalMs = 100;

struct ColumnDesign {
    const char* caption;
    int width;
};

constexpr ColumnDesign kColumns[kVisibleListColumns] = {
    {"Установленные програмы", 200}, {"Издатель", 200},       {"Версия", 120},
    {"Дата установки", 130},         {"Путь установки", 100},
};
constexpr int kColumnMinimum[kVisibleListColumns] = {200, 200, 120, 130, 100};

bool FileExistsW(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Gives a list view the shell's system image lists; the list never destroys them
// (LVS_SHAREIMAGELISTS).
void AttachSystemImageLists(HWND listView) {
    if (listView == nullptr)
        return;
    SHFILEINFOW info{};
    const auto large = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(L"", 0, &info, sizeof info, SHGFI_SYSICONINDEX));
    if (large != nullptr && ListView_GetImageList(listView, LVSIL_NORMAL) == nullptr) {
        ListView_SetImageList(listView, large, LVSIL_NORMAL);
    }
    const auto small = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(L"", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    if (small != nullptr && ListView_GetImageList(listView, LVSIL_SMALL) == nullptr) {
        ListView_SetImageList(listView, small, LVSIL_SMALL);
    }
}

// The system image list index of the program's own icon: every row shows it until its own
// icon is known.
int OwnIconIndex() {
    SHFILEINFOW info{};
    const std::wstring path = Widen(ExecutablePath());
    if (!SHGetFileInfoW(path.c_str(), 0, &info, sizeof info, SHGFI_ICON | SHGFI_SYSICONINDEX)) {
        return 0;
    }
    if (info.hIcon)
        DestroyIcon(info.hIcon);
    return info.iIcon;
}

}  // namespace

TForm1::TForm1() = default;

TForm1::~TForm1() {
    if (font_)
        DeleteObject(font_);
}

bool TForm1::Create() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &TForm1::WindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, L"MAINICON");
    wc.hIconSm = wc.hIcon;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = CORVANDEL_MAIN_CLASS;
    if (!RegisterClassExW(&wc))
        return false;

    RECT frame{0, 0, kClientWidth, kClientHeight};
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    hwnd_ = CreateWindowExW(0, CORVANDEL_MAIN_CLASS, L"Corvandel", style, x, y, width, height,
                            nullptr, nullptr, instance, this);
    return hwnd_ != nullptr;
}

void TForm1::Show(int showCommand) {
    ShowWindow(hwnd_, showCommand);
    UpdateWindow(hwnd_);
}

LRESULT CALLBACK TForm1::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    TForm1* self = nullptr;
    if (message == WM_NCCREATE) {
        self = static_cast<TForm1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<TForm1*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (self == nullptr)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    // No exception may cross into the system's window code: show it as the program's
    // general error handler does.
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (const std::exception& e) {
        MessageBoxW(hwnd, Widen(e.what()).c_str(), L"Corvandel", MB_ICONERROR);
    }
    return 0;
}

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            FormCreate();
            return 0;
        case WM_SIZE:
            Layout();
            return 0;
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize.x = kMinWidth;
            info->ptMinTrackSize.y = kMinHeight;
            return 0;
        }
        case WM_ACTIVATE:
            // The list is built at the first activation once the message loop runs; modal
            // windows returning the focus later do not rebuild it.
            if (LOWORD(wParam) != WA_INACTIVE && !activated_) {
                activated_ = true;
                PostMessageW(hwnd_, kMsgFirstActivation, 0, 0);
            }
            break;
        case kMsgFirstActivation:
            FormActivate();
            return 0;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<NMHDR*>(lParam);
            if (header->hwndFrom == ListViewUninstall && header->code == LVN_GETDISPINFOW) {
                ListViewUninstallGetDispInfo(*reinterpret_cast<NMLVDISPINFOW*>(lParam));
                return 0;
            }
            // The hidden data columns cannot be widened by the user.
            if (header->code == HDN_BEGINTRACKW || header->code == HDN_BEGINTRACKA ||
                header->code == HDN_DIVIDERDBLCLICKW || header->code == HDN_DIVIDERDBLCLICKA) {
                const auto* notify = reinterpret_cast<NMHEADERW*>(lParam);
                if (notify->iItem >= kVisibleListColumns)
                    return TRUE;
            }
            break;
        }
        case WM_CLOSE:
            if (scanning_) {
                // Closing in the middle of a scan ends the scan first.
                closeRequested_ = true;
                return 0;
            }
            FormClose();
            DestroyWindow(hwnd_);
            return 0;
        case WM_DESTROY:
            FormDestroy();
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void TForm1::FormCreate() {
    const std::string folder = ExecutableFolder();
    PortableMode = FileExistsW(Widen(folder + "portable.ini"));

    const std::string caption =
        MainWindowCaption(GetFileVersion(ExecutablePath()), CORVANDEL_BITNESS, PortableMode);
    SetWindowTextW(hwnd_, Widen(caption).c_str());

    CreateControls();
    SendMessageW(ListViewUninstall, WM_UPDATEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
    AttachSystemImageLists(ListViewUninstall);
    CreateDirectoryW(Widen(folder + "backup").c_str(), nullptr);  // may already exist
    ProcessMessages();
}

void TForm1::CreateControls() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    font_ = CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");

    ListViewUninstall = CreateWindowExW(
        WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL |
            LVS_SHAREIMAGELISTS | LVS_OWNERDATA,
        0, 0, 0, 0, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdListViewUninstall)),
        instance, nullptr);
    SendMessageW(ListViewUninstall, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    ListView_SetExtendedListViewStyle(ListViewUninstall,
                                      LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    for (int column = 0; column < kListColumns; ++column) {
        const std::wstring caption =
            column < kVisibleListColumns ? Widen(kColumns[column].caption) : std::wstring();
        LVCOLUMNW lvc{};
        lvc.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        lvc.pszText = const_cast<wchar_t*>(caption.c_str());
        lvc.cx = column < kVisibleListColumns ? kColumns[column].width : 0;
        lvc.iSubItem = column;
        SendMessageW(ListViewUninstall, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&lvc));
    }

    StatusBarUninstall = CreateWindowExW(
        0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, hwnd_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdStatusBarUninstall)), instance, nullptr);
    SendMessageW(StatusBarUninstall, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    Layout();
}

void TForm1::Layout() {
    if (ListViewUninstall == nullptr)
        return;
    RECT client{};
    GetClientRect(hwnd_, &client);
    SendMessageW(StatusBarUninstall, WM_SIZE, 0, 0);
    RECT status{};
    GetWindowRect(StatusBarUninstall, &status);
    const int statusHeight = status.bottom - status.top;
    int parts[2] = {145, -1};
    SendMessageW(StatusBarUninstall, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
    MoveWindow(ListViewUninstall, 0, 0, client.right, client.bottom - statusHeight, TRUE);

    // "Путь установки" takes the width the other columns leave.
    int used = 0;
    for (int column = 0; column < kVisibleListColumns - 1; ++column) {
        used += ListView_GetColumnWidth(ListViewUninstall, column);
    }
    const int rest = client.right - used - GetSystemMetrics(SM_CXVSCROLL) - 4;
    ListView_SetColumnWidth(ListViewUninstall, kVisibleListColumns - 1,
                            rest > kColumnMinimum[kVisibleListColumns - 1]
                                ? rest
                                : kColumnMinimum[kVisibleListColumns - 1]);
}

void TForm1::FormActivate() {
    globLoadUninstall();
}

void TForm1::FormClose() {}

void TForm1::FormDestroy() {
    // The image lists are the shell's shared system lists: nothing to release here.
}

void TForm1::SetStatusText(int panel, const std::string& text) {
    SendMessageW(StatusBarUninstall, SB_SETTEXTW, panel,
                 reinterpret_cast<LPARAM>(Widen(text).c_str()));
}

bool TForm1::ProcessMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            closeRequested_ = true;
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return !closeRequested_;
}

void TForm1::globLoadUninstall() {
    // Messages are handled while the list fills; a second scan never starts inside one.
    if (scanning_)
        return;
    scanning_ = true;
    LoadFromReg();
    SetStatusText(0, std::string(lang::kLangElements) + " " + std::to_string(rows_.size()));
    if (!rows_.empty()) {
        ListView_EnsureVisible(ListViewUninstall, 0, FALSE);
        ListView_SetItemState(ListViewUninstall, 0, LVIS_SELECTED | LVIS_FOCUSED,
                              LVIS_SELECTED | LVIS_FOCUSED);
        SetFocus(ListViewUninstall);
    }
    for (int column = 0; column < 2; ++column) {
        ListView_SetColumnWidth(ListViewUninstall, column, LVSCW_AUTOSIZE_USEHEADER);
        if (ListView_GetColumnWidth(ListViewUninstall, column) < kColumnMinimum[column]) {
            ListView_SetColumnWidth(ListViewUninstall, column, kColumnMinimum[column]);
        }
    }
    Layout();
    scanning_ = false;
    if (closeRequested_)
        PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    closeRequested_ = false;
}

// Rows appear in the list while the scan runs: the list shows the rows read so far whenever
// the window handles its messages, a few dozen times a second.
class TForm1::ScanToList : public ScanSink {
  public:
    explicit ScanToList(TForm1& form) : form_(form), lastPump_(GetTickCount64()) {}

    void EntryStarted(const std::string& displayName) override { current_ = displayName; }

    void EntryRead(UninstallEntry entry) override {
        entry.imageIndex = form_.placeholderIcon_;
        form_.rows_.push_back(std::move(entry));
    }

    bool KeepGoing() override {
        const ULONGLONG now = GetTickCount64();
        if (now - lastPump_ < kScanPumpIntervalMs)
            return !form_.closeRequested_;
        lastPump_ = now;
        Flush();
        return form_.ProcessMessages();
    }

    void Flush() {
        if (shown_ != form_.rows_.size()) {
            shown_ = form_.rows_.size();
            ListView_SetItemCountEx(form_.ListViewUninstall, static_cast<int>(shown_),
                                    LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
        }
        if (!current_.empty()) {
            form_.SetStatusText(1, std::string(lang::kLangLoadingData) + " " + current_);
        }
    }

  private:
    TForm1& form_;
    ULONGLONG lastPump_;
    size_t shown_ = 0;
    std::string current_;
};

void TForm1::LoadFromReg() {
    rows_.clear();
    ListView_SetItemCountEx(ListViewUninstall, 0, 0);
    SetStatusText(0, "");
    SetStatusText(1, "");
    placeholderIcon_ = OwnIconIndex();

    ScanToList sink(*this);
    corvandel::LoadFromReg(ScanEnvironment{registry_, files_, folders_, locale_}, sink);

    SetStatusText(1, "");
    SortByName(rows_, sortDirection_, locale_);
    FillList();
}

void TForm1::FillList() {
    ListView_SetItemCountEx(ListViewUninstall, static_cast<int>(rows_.size()), 0);
    InvalidateRect(ListViewUninstall, nullptr, TRUE);
}

void TForm1::ListViewUninstallGetDispInfo(NMLVDISPINFOW& info) {
    // The list keeps no text of its own: it shows rows_ (LVS_OWNERDATA).
    LVITEMW& item = info.item;
    if (item.iItem < 0 || static_cast<size_t>(item.iItem) >= rows_.size())
        return;
    const UninstallEntry& row = rows_[item.iItem];
    if (item.mask & LVIF_IMAGE)
        item.iImage = row.imageIndex;
    if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
        const int column = item.iSubItem;
        dispText_ = Widen(column == 0                   ? row.caption
                          : column <= kEntryColumnCount ? row.columns[column - 1]
                                                        : std::string());
        lstrcpynW(item.pszText, dispText_.c_str(), item.cchTextMax);
    }
}

bool TForm1::IsWindows10Or11() {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExW(&info))
        return false;
#pragma GCC diagnostic pop
    const OsVersion real = RealWindowsVersion(
        OsVersion{info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber}, registry_);
    return IsWindows10OrLater(real);
}

}  // namespace corvandel
