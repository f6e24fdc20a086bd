#include "app/main_window_win.h"

#include <shellapi.h>
#include <windowsx.h>

#include "about/FileInfoUtils.h"
#include "about/about_window_win.h"
#include "app/lang_texts.h"
#include "app/list_columns_win.h"
#include "app/main_caption.h"
#include "app/windows_version.h"
#include "foundation/handle_win.h"
#include "foundation/win_text.h"
#include "settings/settings.h"
#include "settings/settings_win.h"
#include "ui/commands.h"
#include "ui/control_ids.h"
#include "ui/fonts_win.h"
#include "ui/window_proc_win.h"

namespace corvandel {

bool PortableMode = false;

namespace {

constexpr UINT kMsgFirstActivation = WM_APP + 1;
constexpr UINT kMsgKeepColumnWidths = WM_APP + 2;
constexpr int kClientWidth = 684;
constexpr int kClientHeight = 511;
constexpr int kMinWidth = 700;
constexpr int kMinHeight = 550;
constexpr int kTopBarHeight = 32;
constexpr int kPanelWidth = 108;
constexpr int kConsoleHeight = 100;
constexpr int kSearchHeight = 21;

HMENU MenuId(int id) {
    return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
}

std::string WindowTextOf(HWND hwnd) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size())));
    return Narrow(text);
}

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

void InsertColumns(HWND list, const ColumnDesign* columns, int count, int hidden) {
    for (int column = 0; column < count + hidden; ++column) {
        const std::wstring caption = column < count ? Widen(columns[column].caption) : L"";
        LVCOLUMNW lvc{};
        lvc.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
        lvc.fmt = column < count ? columns[column].format : LVCFMT_LEFT;
        lvc.pszText = const_cast<wchar_t*>(caption.c_str());
        lvc.cx = column < count ? columns[column].width : 0;
        lvc.iSubItem = column;
        SendMessageW(list, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&lvc));
    }
}

void SetColumnCaption(HWND list, int column, const std::string& caption) {
    const std::wstring text = Widen(caption);
    LVCOLUMNW lvc{};
    lvc.mask = LVCF_TEXT;
    lvc.pszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(list, LVM_SETCOLUMNW, column, reinterpret_cast<LPARAM>(&lvc));
}

// The keys of a menu's items that have a shortcut, as an accelerator table.
template <size_t N>
OwnedAccelerators ShortcutTable(const MenuItem (&items)[N]) {
    std::vector<ACCEL> keys;
    for (const MenuItem& item : items) {
        if (item.id == 0 || item.key == 0)
            continue;
        BYTE flags = FVIRTKEY;
        flags |= (item.modifiers & kShift) ? FSHIFT : 0;
        flags |= (item.modifiers & kCtrl) ? FCONTROL : 0;
        flags |= (item.modifiers & kAlt) ? FALT : 0;
        keys.push_back(ACCEL{flags, item.key, static_cast<WORD>(item.id)});
    }
    return OwnedAccelerators(CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size())));
}

// The menu text: the caption and, after a tab, the shortcut the item shows.
std::wstring MenuText(const std::string& caption, const char* shortcut) {
    std::wstring text = Widen(caption);
    if (shortcut && *shortcut)
        text += L"\t" + Widen(shortcut);
    return text;
}

}  // namespace

TForm1::TForm1() = default;

TForm1::~TForm1() = default;

bool TForm1::Create() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &RoutedWindowProc<TForm1>;
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

void TForm1::Show() {
    ShowWindow(hwnd_, startMaximized_ ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    UpdateWindow(hwnd_);
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
        case WM_SETCURSOR: {
            const HWND control = reinterpret_cast<HWND>(wParam);
            if (control == SpeedButton_GeneralMenu || control == ButtonUninstall ||
                control == ButtonBackupsUninstall) {
                SetCursor(LoadCursorW(nullptr, IDC_HAND));
                return TRUE;
            }
            break;
        }
        case WM_MOUSEMOVE:
            // Moving over the window's own surface releases the general-menu button.
            ReleaseGeneralMenuButton();
            return 0;
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
        case kMsgKeepColumnWidths:
            Layout();
            return 0;
        case WM_COMMAND:
            if (lParam != 0 && HIWORD(wParam) == EN_CHANGE &&
                reinterpret_cast<HWND>(lParam) == EditSearchUninstall) {
                EditSearchUninstallChange();
                return 0;
            }
            if (lParam == 0 || HIWORD(wParam) == BN_CLICKED)
                HandleCommand(LOWORD(wParam));
            return 0;
        case WM_NOTIFY:
            return HandleNotify(*reinterpret_cast<NMHDR*>(lParam));
        case WM_CONTEXTMENU: {
            const HWND source = reinterpret_cast<HWND>(wParam);
            POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            if (at.x == -1 && at.y == -1)
                GetCursorPos(&at);
            // The program list's menu does not open while a scan runs.
            if (source == ListViewUninstall && !scanning_) {
                ShowPopup(PopupMenuUninstall, hwnd_, at, TPM_LEFTALIGN);
            } else if (source == ListViewBackupsUninstall) {
                ShowPopup(PopupMenuBackups, hwnd_, at, TPM_LEFTALIGN);
            }
            return 0;
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
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT TForm1::HandleNotify(NMHDR& header) {
    if (header.hwndFrom == ListViewUninstall) {
        switch (header.code) {
            case LVN_GETDISPINFOW:
                ListViewUninstallGetDispInfo(reinterpret_cast<NMLVDISPINFOW&>(header));
                return 0;
            case LVN_COLUMNCLICK:
                ListViewUninstallColumnClick(reinterpret_cast<NMLISTVIEW&>(header).iSubItem);
                return 0;
            case NM_CUSTOMDRAW:
                return ListViewUninstallCustomDrawItem(reinterpret_cast<NMLVCUSTOMDRAW&>(header));
            case LVN_ITEMCHANGED: {
                const auto& change = reinterpret_cast<NMLISTVIEW&>(header);
                if ((change.uChanged & LVIF_STATE) && (change.uNewState & LVIS_SELECTED) &&
                    !(change.uOldState & LVIS_SELECTED) && !filling_) {
                    ListViewUninstallSelectItem();
                }
                return 0;
            }
            case NM_CLICK:
                if (!filling_)
                    ListViewUninstallSelectItem();
                return 0;
        }
    }
    if (header.hwndFrom == ListviewDubUninstall && header.code == LVN_GETDISPINFOW) {
        auto& info = reinterpret_cast<NMLVDISPINFOW&>(header);
        if (info.item.iItem >= 0 && static_cast<size_t>(info.item.iItem) < allRows_.size() &&
            (info.item.mask & LVIF_TEXT) && info.item.cchTextMax > 0) {
            const UninstallEntry& row = allRows_[info.item.iItem];
            const int column = info.item.iSubItem;
            dispText_ = Widen(column == 0 ? row.caption : row.columns[(column - 1) % 9]);
            lstrcpynW(info.item.pszText, dispText_.c_str(), info.item.cchTextMax);
        }
        return 0;
    }
    if (GetParent(header.hwndFrom) == ListViewUninstall) {
        const auto& notify = reinterpret_cast<NMHEADERW&>(header);
        switch (header.code) {
            case HDN_BEGINTRACKW:
            case HDN_DIVIDERDBLCLICKW:
                // The hidden data columns and the fixed ones cannot be resized by the user.
                return notify.iItem >= kVisibleListColumns || kProgramColumns[notify.iItem].fixed;
            case HDN_ENDTRACKW:
                // A divider dragged below a column's minimum springs back to it.
                PostMessageW(hwnd_, kMsgKeepColumnWidths, 0, 0);
                return 0;
        }
    }
    return 0;
}

void TForm1::HandleCommand(int id) {
    switch (id) {
        case kIdSpeedButtonGeneralMenu:
            SpeedButton_GeneralMenuClick();
            break;
        case kIdButtonUninstall:
            ButtonUninstallClick();
            break;
        case kIdButtonBackupsUninstall:
            ButtonBackupsUninstallClick();
            break;
        case kCmdRefreshListMenu:
            RefreshListMenuClick();
            break;
        case kCmdViewLogMenu:
            ReleaseGeneralMenuButton();
            options_.viewLog = !options_.viewLog;
            ShowOptions();
            ViewLogMenuClick();
            break;
        case kCmdAboutMenu:
            AboutMenuClick();
            break;
        case kCmdThemeAuto:
        case kCmdThemeLight:
        case kCmdThemeDark:
            // The styles themselves come with the appearance work; the choice is kept and
            // stored already.
            ReleaseGeneralMenuButton();
            options_.themeAuto = id == kCmdThemeAuto;
            options_.themeLight = id == kCmdThemeLight;
            options_.themeDark = id == kCmdThemeDark;
            ShowOptions();
            break;
        case kCmdIconSmallMenu:
            IconSmallMenuClick();
            break;
        case kCmdIconBigMenu:
            IconBigMenuClick();
            break;
        case kCmdLogCreateMenu:
            LogCreateMenuClick();
            break;
        case kCmdCheckUpdateMenu:
            ReleaseGeneralMenuButton();
            break;
        default:
            // Commands on the selected entry and on the backups.
            if (!scanning_)
                HandleRemovalCommand(id);
            break;
    }
}

void TForm1::FormCreate() {
    const std::string folder = ExecutableFolder();
    PortableMode = FileExistsW(Widen(folder + "portable.ini"));
    CreateComponents();
    const std::string caption =
        MainWindowCaption(GetFileVersion(ExecutablePath()), CORVANDEL_BITNESS, PortableMode);
    components_.Find("Form1")->Set("Caption", caption);

    SendMessageW(ListViewUninstall, WM_UPDATEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
    AttachSystemImageLists(ListViewUninstall);
    AttachSystemImageLists(ListviewDubUninstall);
    AttachSystemImageLists(ListViewBackupsUninstall);
    CreateDirectoryW(Widen(folder + "backup").c_str(), nullptr);  // may already exist
    ProcessMessages();
    page_ = 0;
    Layout();
}

void TForm1::CreateComponents() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    font_ = DesignFont(11);
    boldFont_ = DesignFont(11, FW_BOLD);
    menuButtonFont_ = DesignFont(21);

    auto child = [&](const wchar_t* cls, DWORD style, DWORD exStyle, HWND parent, int id,
                     const std::string& text = std::string()) {
        const HWND hwnd = CreateWindowExW(exStyle, cls, Widen(text).c_str(), WS_CHILD | style, 0, 0,
                                          0, 0, parent, MenuId(id), instance, nullptr);
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
        return hwnd;
    };
    auto captioned = [](HWND hwnd) {
        return [hwnd](const std::string& property, const std::string& value) {
            if (property == "Caption" || property == "Text") {
                SetWindowTextW(hwnd, Widen(value).c_str());
            }
        };
    };

    components_.Add("Form1", "TForm1").Define("Caption", "Corvandel").OnChange(captioned(hwnd_));

    ListviewDubUninstall = child(WC_LISTVIEWW, LVS_REPORT | LVS_OWNERDATA | LVS_SHAREIMAGELISTS, 0,
                                 hwnd_, kIdListviewDubUninstall);
    InsertColumns(ListviewDubUninstall, kProgramColumns, 0, 8);
    components_.Add("ListviewDubUninstall", "TListView");

    // The bars and pages are areas of the window; the controls are its direct children.
    TabControl = child(WC_STATICW, 0, 0, hwnd_, kIdTabControl);
    components_.Add("TabControl", "TTabControl");
    SpeedButton_GeneralMenu = child(WC_BUTTONW, WS_VISIBLE | BS_PUSHBUTTON | BS_FLAT, 0, hwnd_,
                                    kIdSpeedButtonGeneralMenu, "≡");
    SendMessageW(SpeedButton_GeneralMenu, WM_SETFONT,
                 reinterpret_cast<WPARAM>(menuButtonFont_.Get()), FALSE);
    components_.Add("SpeedButton_GeneralMenu", "TSpeedButton")
        .Define("Caption", "≡")
        .Define("Hint", "")
        .OnChange(captioned(SpeedButton_GeneralMenu));
    components_.Add("TabApp", "TTabControl");

    TabControlPanel = child(WC_STATICW, 0, 0, hwnd_, kIdTabControlPanel);
    components_.Add("TabControlPanel", "TTabControl");
    ImageList3.Reset(ImageList_Create(48, 48, ILC_COLOR32 | ILC_MASK, 8, 0));
    {
        // The page buttons' pictures: the shell's own icons for a program list and a backup.
        const int shellIcons[8] = {2, 3, 4, 31, 6, 7, 8, 21};
        for (int index : shellIcons) {
            HICON extracted = nullptr;
            ExtractIconExW(L"shell32.dll", index, &extracted, nullptr, 1);
            const OwnedIcon icon(extracted);
            // The program's own icon is shared by the system and never destroyed.
            ImageList_AddIcon(ImageList3.Get(),
                              icon ? icon.Get() : LoadIconW(instance, L"MAINICON"));
        }
    }
    auto pageButton = [&](int id, const std::string& text, int picture, OwnedImageList& image) {
        const HWND button =
            child(WC_BUTTONW, WS_VISIBLE | BS_PUSHBUTTON | BS_MULTILINE, 0, hwnd_, id, text);
        // The button shows the list but never frees it: the window keeps it.
        image.Reset(ImageList_Create(48, 48, ILC_COLOR32 | ILC_MASK, 1, 0));
        const OwnedIcon icon(ImageList_GetIcon(ImageList3.Get(), picture, ILD_NORMAL));
        ImageList_AddIcon(image.Get(), icon.Get());
        BUTTON_IMAGELIST images{image.Get(), {0, 20, 0, 0}, BUTTON_IMAGELIST_ALIGN_TOP};
        SendMessageW(button, BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&images));
        return button;
    };
    ButtonUninstall = pageButton(kIdButtonUninstall, "Деинсталляция", 7, pageImages_[0]);
    components_.Add("ButtonUninstall", "TButton")
        .Define("Caption", "Деинсталляция")
        .Define("Hint", "")
        .OnChange(captioned(ButtonUninstall));
    ButtonBackupsUninstall = pageButton(kIdButtonBackupsUninstall, "Резерв", 4, pageImages_[1]);
    components_.Add("ButtonBackupsUninstall", "TButton")
        .Define("Caption", "Резерв")
        .Define("Hint", "")
        .OnChange(captioned(ButtonBackupsUninstall));
    SetBold(ButtonUninstall, true);

    components_.Add("PageControl", "TPageControl");
    TabUninstall = child(WC_STATICW, 0, 0, hwnd_, kIdTabUninstall);
    components_.Add("TabUninstall", "TTabSheet").Define("Caption", "Деинсталляция");
    ListViewUninstall = child(WC_LISTVIEWW,
                              WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS |
                                  LVS_SINGLESEL | LVS_SHAREIMAGELISTS | LVS_OWNERDATA,
                              WS_EX_CLIENTEDGE, hwnd_, kIdListViewUninstall);
    ListView_SetExtendedListViewStyle(ListViewUninstall,
                                      LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    InsertColumns(ListViewUninstall, kProgramColumns, kVisibleListColumns,
                  kListColumns - kVisibleListColumns);
    {
        Component& list = components_.Add("ListViewUninstall", "TListView");
        for (int column = 0; column < kVisibleListColumns; ++column) {
            list.Define("Columns[" + std::to_string(column) + "].Caption",
                        kProgramColumns[column].caption);
        }
        list.OnChange([this](const std::string& property, const std::string& value) {
            if (property.rfind("Columns[", 0) == 0) {
                SetColumnCaption(ListViewUninstall, std::stoi(property.substr(8)), value);
            }
        });
    }
    MemoLogUninstall = child(WC_EDITW,
                             WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                                 ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                             WS_EX_CLIENTEDGE, hwnd_, kIdMemoLogUninstall);
    SendMessageW(MemoLogUninstall, EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
    components_.Add("MemoLogUninstall", "TMemo");
    EditSearchUninstall = child(WC_EDITW, WS_VISIBLE | WS_TABSTOP | ES_CENTER | ES_AUTOHSCROLL,
                                WS_EX_CLIENTEDGE, hwnd_, kIdEditSearchUninstall);
    SendMessageW(EditSearchUninstall, EM_SETCUEBANNER, TRUE,
                 reinterpret_cast<LPARAM>(Widen("Поиск").c_str()));
    components_.Add("EditSearchUninstall", "TEdit")
        .Define("TextHint", "Поиск")
        .OnChange([this](const std::string& property, const std::string& value) {
            if (property == "TextHint") {
                SendMessageW(EditSearchUninstall, EM_SETCUEBANNER, TRUE,
                             reinterpret_cast<LPARAM>(Widen(value).c_str()));
            }
        });
    StatusBarUninstall = child(STATUSCLASSNAMEW, WS_VISIBLE, 0, hwnd_, kIdStatusBarUninstall);
    components_.Add("StatusBarUninstall", "TStatusBar");

    TabBackups = child(WC_STATICW, 0, 0, hwnd_, kIdTabBackups);
    components_.Add("TabBackups", "TTabSheet").Define("Caption", "Резерв");
    ListViewBackupsUninstall =
        child(WC_LISTVIEWW,
              LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL | LVS_SHAREIMAGELISTS | WS_TABSTOP,
              WS_EX_CLIENTEDGE, hwnd_, kIdListViewBackupsUninstall);
    ListView_SetExtendedListViewStyle(ListViewBackupsUninstall,
                                      LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    InsertColumns(ListViewBackupsUninstall, kBackupColumns, 3, 0);
    {
        Component& list = components_.Add("ListViewBackupsUninstall", "TListView");
        for (int column = 0; column < 3; ++column) {
            list.Define("Columns[" + std::to_string(column) + "].Caption",
                        kBackupColumns[column].caption);
        }
        list.OnChange([this](const std::string& property, const std::string& value) {
            if (property.rfind("Columns[", 0) == 0) {
                SetColumnCaption(ListViewBackupsUninstall, std::stoi(property.substr(8)), value);
            }
        });
    }
    CreateMenus();
    components_.Add("SaveDialogUninstall", "TSaveDialog")
        .Define("Filter", "HTML|*.html")
        .Define("Title", "");
    components_.Add("ImageList3", "TImageList");
    Layout();
}

void TForm1::CreateMenus() {
    // One item of a menu, its component and, for items with a caption, the caption's
    // translation into the menu text.
    auto item = [this](HMENU menu, const MenuItem& design) {
        Component& component =
            components_.Add(design.name, "TMenuItem").Define("Caption", design.caption);
        if (design.id == 0) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            return;
        }
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        const std::wstring text = MenuText(design.caption, design.shortcut);
        info.fMask = MIIM_ID | MIIM_STRING | MIIM_FTYPE;
        info.fType = MFT_STRING | (design.radio ? MFT_RADIOCHECK : 0);
        info.wID = design.id;
        info.dwTypeData = const_cast<wchar_t*>(text.c_str());
        InsertMenuItemW(menu, GetMenuItemCount(menu), TRUE, &info);
        const std::string shortcut = design.shortcut;
        const int id = design.id;
        component.OnChange(
            [menu, id, shortcut](const std::string& property, const std::string& value) {
                if (property != "Caption")
                    return;
                MENUITEMINFOW change{};
                change.cbSize = sizeof change;
                const std::wstring newText = MenuText(value, shortcut.c_str());
                change.fMask = MIIM_STRING;
                change.dwTypeData = const_cast<wchar_t*>(newText.c_str());
                SetMenuItemInfoW(menu, id, FALSE, &change);
            });
    };
    auto popup = [&](Popup& target, const char* name, const auto& items) {
        target.menu.Reset(CreatePopupMenu());
        components_.Add(name, "TPopupMenu");
        for (const MenuItem& design : items) {
            item(target.menu.Get(), design);
            target.items.emplace_back(design.name, design.id);
        }
        target.shortcuts = ShortcutTable(items);
    };
    popup(PopupMenuUninstall, "PopupMenuUninstall", kProgramListMenu);
    popup(PopupMenuBackups, "PopupMenuBackups", kBackupsMenu);

    // The general menu with its three submenus.
    PopupMenu_General.menu.Reset(CreatePopupMenu());
    components_.Add("PopupMenu_General", "TPopupMenu");
    const HMENU general = PopupMenu_General.menu.Get();
    auto submenu = [&](const char* name, const char* caption, HMENU& handle) {
        handle = CreatePopupMenu();
        AppendMenuW(general, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(handle),
                    Widen(caption).c_str());
        const int position = GetMenuItemCount(general) - 1;
        components_.Add(name, "TMenuItem")
            .Define("Caption", caption)
            .OnChange([general, position](const std::string& property, const std::string& value) {
                if (property == "Caption") {
                    MENUITEMINFOW info{};
                    info.cbSize = sizeof info;
                    const std::wstring text = Widen(value);
                    info.fMask = MIIM_STRING;
                    info.dwTypeData = const_cast<wchar_t*>(text.c_str());
                    SetMenuItemInfoW(general, position, TRUE, &info);
                }
            });
    };
    submenu("ThemeMenu", "Тема", ThemeMenu);
    for (const MenuItem& design : kThemeMenu)
        item(ThemeMenu, design);
    submenu("LanguageMenu", "Язык", LanguageMenu);
    submenu("ViewMenu", "Вид", ViewMenu);
    for (const MenuItem& design : kViewMenu)
        item(ViewMenu, design);
    for (const MenuItem& design : kGeneralMenu)
        item(general, design);

    // The window's message texts, translated with it and read when a message is shown.
    components_.Add("PopupMenuLanguage", "TPopupMenu");
    for (const auto& [name, text] : lang::kMessageTexts) {
        components_.Add(name, "TMenuItem").Define("Caption", text);
    }
}

void TForm1::Layout() {
    if (ListViewUninstall == nullptr)
        return;
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int width = client.right;
    const int height = client.bottom;
    MoveWindow(TabControl, 0, 0, width, kTopBarHeight, TRUE);
    MoveWindow(SpeedButton_GeneralMenu, width - 22 - 5, 5, 22, 22, TRUE);
    MoveWindow(TabControlPanel, 0, kTopBarHeight, kPanelWidth, height - kTopBarHeight, TRUE);
    MoveWindow(ButtonUninstall, 4, kTopBarHeight + 4, 100, 100, TRUE);
    MoveWindow(ButtonBackupsUninstall, 4, kTopBarHeight + 108, 100, 100, TRUE);

    const int left = kPanelWidth;
    const int pageWidth = width - left;
    const int pageHeight = height - kTopBarHeight;
    MoveWindow(TabUninstall, left, kTopBarHeight, pageWidth, pageHeight, FALSE);
    MoveWindow(TabBackups, left, kTopBarHeight, pageWidth, pageHeight, FALSE);

    SendMessageW(StatusBarUninstall, WM_SIZE, 0, 0);
    RECT status{};
    GetWindowRect(StatusBarUninstall, &status);
    const int statusHeight = status.bottom - status.top;
    const int part1 = (width - 145 > 50) ? width : 145 + 50;
    int parts[2] = {145, part1};
    SendMessageW(StatusBarUninstall, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));

    const bool uninstallPage = page_ == 0;
    const int bottom = height - statusHeight;
    const int searchTop = bottom - kSearchHeight;
    const int consoleTop = searchTop - consoleHeight_;
    const int listTop = kTopBarHeight;
    auto place = [&](HWND control, int x, int y, int w, int h, bool visible) {
        MoveWindow(control, x, y, w, h > 0 ? h : 0, TRUE);
        ShowWindow(control, visible && h > 0 ? SW_SHOW : SW_HIDE);
    };
    place(ListViewUninstall, left, listTop, pageWidth, consoleTop - listTop, uninstallPage);
    place(MemoLogUninstall, left, consoleTop, pageWidth, consoleHeight_, uninstallPage);
    place(EditSearchUninstall, left, searchTop, pageWidth, kSearchHeight, uninstallPage);
    ShowWindow(StatusBarUninstall, uninstallPage ? SW_SHOW : SW_HIDE);
    place(ListViewBackupsUninstall, left, listTop, pageWidth, height - listTop, !uninstallPage);
    MoveWindow(ListviewDubUninstall, 0, 0, 0, 0, FALSE);

    // "Путь установки" takes the width the other columns leave, which keep their limits.
    KeepColumnLimits(ListViewUninstall, kProgramColumns, kVisibleListColumns - 1);
    int used = 0;
    for (int column = 0; column < kVisibleListColumns - 1; ++column) {
        used += ListView_GetColumnWidth(ListViewUninstall, column);
    }
    const int rest = pageWidth - used - GetSystemMetrics(SM_CXVSCROLL) - 4;
    ListView_SetColumnWidth(ListViewUninstall, kVisibleListColumns - 1,
                            rest > kProgramColumns[kVisibleListColumns - 1].minimum
                                ? rest
                                : kProgramColumns[kVisibleListColumns - 1].minimum);
}

void TForm1::EnablePanel(bool enabled) {
    EnableWindow(TabControlPanel, enabled);
    EnableWindow(ButtonUninstall, enabled);
    EnableWindow(ButtonBackupsUninstall, enabled);
}

void TForm1::FormActivate() {
    EnablePanel(false);
    globLoadUninstall();
    EnablePanel(true);
    ProcessMessages();
}

void TForm1::FormClose() {
    SaveNastr();
}

void TForm1::SetStatusText(int panel, const std::string& text) {
    SendMessageW(StatusBarUninstall, SB_SETTEXTW, panel,
                 reinterpret_cast<LPARAM>(Widen(text).c_str()));
}

void TForm1::SetBold(HWND button, bool bold) {
    SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(bold ? boldFont_.Get() : font_.Get()),
                 TRUE);
}

bool TForm1::ProcessMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            closeRequested_ = true;
            break;
        }
        if (PreTranslateMessage(msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return !closeRequested_;
}

bool TForm1::PreTranslateMessage(MSG& msg) {
    // The context menus' shortcuts work in their own lists; the program list's not while a
    // scan runs.
    if (msg.hwnd == ListViewUninstall && !scanning_)
        return TranslateAcceleratorW(hwnd_, PopupMenuUninstall.shortcuts.Get(), &msg) != 0;
    if (msg.hwnd == ListViewBackupsUninstall)
        return TranslateAcceleratorW(hwnd_, PopupMenuBackups.shortcuts.Get(), &msg) != 0;
    return false;
}

void TForm1::ShowPopup(Popup& popup, HWND owner, POINT at, UINT flags) {
    if (&popup == &PopupMenuUninstall) {
        // The web-site item shows only for entries that have a web address.
        const bool present = GetMenuState(popup.menu.Get(), kCmdWebSiteUninstallMenu,
                                          MF_BYCOMMAND) != static_cast<UINT>(-1);
        if (present && !webSiteVisible_) {
            RemoveMenu(popup.menu.Get(), kCmdWebSiteUninstallMenu, MF_BYCOMMAND);
        } else if (!present && webSiteVisible_) {
            const Component* item = components_.Find("WebSiteUninstallMenu");
            MENUITEMINFOW info{};
            info.cbSize = sizeof info;
            const std::wstring text = MenuText(item->Text("Caption"), kProgramListMenu[3].shortcut);
            info.fMask = MIIM_ID | MIIM_STRING;
            info.wID = kCmdWebSiteUninstallMenu;
            info.dwTypeData = const_cast<wchar_t*>(text.c_str());
            InsertMenuItemW(popup.menu.Get(), 3, TRUE, &info);
        }
    }
    TrackPopupMenu(popup.menu.Get(), flags | TPM_RIGHTBUTTON, at.x, at.y, 0, owner, nullptr);
}

void TForm1::SpeedButton_GeneralMenuClick() {
    if (generalMenuOpen_) {
        // A click while the flag is set only resets it.
        generalMenuOpen_ = false;
        EndMenu();
        ProcessMessages();
        return;
    }
    generalMenuOpen_ = true;
    ProcessMessages();
    RECT button{};
    GetWindowRect(SpeedButton_GeneralMenu, &button);
    ShowPopup(PopupMenu_General, hwnd_, POINT{button.right, button.bottom}, TPM_RIGHTALIGN);
}

void TForm1::RefreshListMenuClick() {
    ReleaseGeneralMenuButton();
    EnablePanel(false);
    globLoadUninstall();
    EnablePanel(true);
    ProcessMessages();
}

void TForm1::ViewLogMenuClick() {
    ReleaseGeneralMenuButton();
    consoleHeight_ = options_.viewLog ? kConsoleHeight : 0;
    Layout();
}

void TForm1::AboutMenuClick() {
    ReleaseGeneralMenuButton();
    if (about_)
        about_->ShowModal(hwnd_, WindowTextOf(hwnd_));
}

void TForm1::ButtonUninstallClick() {
    page_ = 0;
    SetBold(ButtonUninstall, true);
    SetBold(ButtonBackupsUninstall, false);
    Layout();
    ProcessMessages();
}

void TForm1::ButtonBackupsUninstallClick() {
    page_ = 1;
    SetBold(ButtonUninstall, false);
    SetBold(ButtonBackupsUninstall, true);
    Layout();
    FindFileCopy(ExecutableFolder() + "backup\\");
}

void TForm1::ShowOptions() {
    // The menu items that show an option, each beside the option it shows.
    static constexpr std::pair<int, bool MainSettings::*> kShown[] = {
        {kCmdThemeAuto, &MainSettings::themeAuto},     {kCmdThemeLight, &MainSettings::themeLight},
        {kCmdThemeDark, &MainSettings::themeDark},     {kCmdViewLogMenu, &MainSettings::viewLog},
        {kCmdIconSmallMenu, &MainSettings::iconSmall}, {kCmdIconBigMenu, &MainSettings::iconBig},
    };
    for (const auto& [id, field] : kShown) {
        CheckMenuItem(PopupMenu_General.menu.Get(), id,
                      MF_BYCOMMAND | (options_.*field ? MF_CHECKED : MF_UNCHECKED));
    }
}

void TForm1::LoadNastr() {
    const std::string path = PortablePath(PortableMode);
    IniDocument settings = IniDocument::Parse(std::string(), SystemAnsiCodePage(), SystemLocale());
    try {
        settings = LoadSettingsDocument(path);
    } catch (const SettingsReadError& e) {
        // The program starts with the defaults and says so once. The box has no owner: the
        // main window is still hidden, and a box it owned would hold up its first list.
        settingsUnreadable_ = true;
        MessageBoxW(nullptr, Widen(e.Path() + "\n\n" + e.what()).c_str(), L"Corvandel",
                    MB_ICONERROR);
    }
    RECT window{};
    GetWindowRect(hwnd_, &window);
    const MainSettings options =
        LoadMainSettings(settings, window.bottom - window.top, window.right - window.left);

    switch (ChosenTheme(options)) {
        case ThemeChoice::Auto:
            HandleCommand(kCmdThemeAuto);
            break;
        case ThemeChoice::Light:
            HandleCommand(kCmdThemeLight);
            break;
        case ThemeChoice::Dark:
            HandleCommand(kCmdThemeDark);
            break;
        case ThemeChoice::None:
            break;
    }
    options_.viewLog = options.viewLog;
    ShowOptions();
    ViewLogMenuClick();
    if (options.iconSmall)
        IconSmallMenuClick();
    if (options.iconBig)
        IconBigMenuClick();

    if (options.maximized) {
        startMaximized_ = true;
    } else {
        const int width = options.width < kMinWidth ? kMinWidth : options.width;
        const int height = options.height < kMinHeight ? kMinHeight : options.height;
        SetWindowPos(hwnd_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                     (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    startOptions_ = CurrentOptions();
}

MainSettings TForm1::CurrentOptions() {
    MainSettings options = options_;
    options.maximized = IsZoomed(hwnd_);
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(hwnd_, &placement);
    options.height = placement.rcNormalPosition.bottom - placement.rcNormalPosition.top;
    options.width = placement.rcNormalPosition.right - placement.rcNormalPosition.left;
    return options;
}

void TForm1::SaveNastr() {
    const std::string path = PortablePath(PortableMode);
    const MainSettings options = CurrentOptions();
    const bool chosen = MenuOptionsDiffer(options, startOptions_);
    // A file that could not be read is never replaced by the defaults; only options the user
    // chose in this run are worth writing over it.
    if (settingsUnreadable_ && !chosen)
        return;
    IniDocument settings = IniDocument::Parse(std::string(), SystemAnsiCodePage(), SystemLocale());
    try {
        settings = LoadSettingsDocument(path);
    } catch (const SettingsReadError&) {
        if (!chosen)
            return;
    }
    SaveMainSettings(options, settings);
    try {
        SaveSettingsDocument(settings, path);
    } catch (const std::exception& e) {
        // The window still closes: the user asked for it, and is told the options are lost.
        MessageBoxW(hwnd_, Widen(e.what()).c_str(), L"Corvandel", MB_ICONERROR);
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
