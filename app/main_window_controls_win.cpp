// The main window's controls and menus: creating them, laying them out, and doing both again
// at another DPI.

#include "app/main_window_win.h"

#include <shellapi.h>

#include "app/list_columns_win.h"
#include "app/main_window_design_win.h"
#include "foundation/handle_win.h"
#include "foundation/win_text.h"
#include "ui/commands.h"
#include "ui/control_ids.h"
#include "ui/fonts_win.h"
#include "ui/menus_win.h"
#include "ui/stored_names.h"

namespace corvandel {

using namespace main_window;

void MainWindow::CreateComponents() {
    namespace names = stored::main_window;
    scale_.dpi = WindowDpi(hwnd_);
    CreateFonts();
    const HFONT font = font_.Get();
    const HWND form = hwnd_;
    components_.Add(stored::kMainWindow.form)
        .Define("Caption", "Corvandel")
        .AttachHandle(reinterpret_cast<std::uintptr_t>(form))
        .OnChange([form](const std::string& property, const std::string& value) {
            if (property == "Caption")
                SetWindowTextW(form, Widen(value).c_str());
        });

    // The top bar, the left panel and the pages are areas of the window, not controls: the
    // controls are its direct children.
    SpeedButton_GeneralMenu
        .CreateCaptioned(components_, names::kSpeedButtonGeneralMenu, form,
                         kIdSpeedButtonGeneralMenu, WC_BUTTONW,
                         WS_VISIBLE | BS_PUSHBUTTON | BS_FLAT, 0, menuButtonFont_.Get(), "≡")
        .Define("Hint", "");
    const DWORD pageButton = WS_VISIBLE | BS_PUSHBUTTON | BS_MULTILINE;
    ButtonUninstall
        .CreateCaptioned(components_, names::kButtonUninstall, form, kIdButtonUninstall, WC_BUTTONW,
                         pageButton, 0, font, "Деинсталляция")
        .Define("Hint", "");
    ButtonBackupsUninstall
        .CreateCaptioned(components_, names::kButtonBackupsUninstall, form,
                         kIdButtonBackupsUninstall, WC_BUTTONW, pageButton, 0, font, "Резерв")
        .Define("Hint", "");
    CreatePageButtonPictures();
    SetBold(ButtonUninstall, true);

    ListViewUninstall.CreateColumns(
        ListViewUninstall.Create(components_, names::kListViewUninstall, form, kIdListViewUninstall,
                                 WC_LISTVIEWW,
                                 WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS |
                                     LVS_SHAREIMAGELISTS | LVS_OWNERDATA,
                                 WS_EX_CLIENTEDGE, font),
        kProgramColumns, kVisibleListColumns, kListColumns - kVisibleListColumns, scale_.dpi);
    ListView_SetExtendedListViewStyle(ListViewUninstall,
                                      LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP);
    MemoLogUninstall.Create(components_, names::kMemoLogUninstall, form, kIdMemoLogUninstall,
                            WC_EDITW,
                            WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                                ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                            WS_EX_CLIENTEDGE, font);
    SendMessageW(MemoLogUninstall, EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
    EditSearchUninstall.CreateWithHint(
        components_, names::kEditSearchUninstall, form, kIdEditSearchUninstall,
        WS_VISIBLE | WS_TABSTOP | ES_CENTER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, font, "Поиск");
    StatusBarUninstall.Create(components_, names::kStatusBarUninstall, form, kIdStatusBarUninstall,
                              STATUSCLASSNAMEW, WS_VISIBLE, 0, font);
    SendMessageW(StatusBarUninstall, SB_SETMINHEIGHT, scale_(kStatusHeight), 0);

    ListViewBackupsUninstall.CreateColumns(
        ListViewBackupsUninstall.Create(
            components_, names::kListViewBackupsUninstall, form, kIdListViewBackupsUninstall,
            WC_LISTVIEWW,
            LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL | LVS_SHAREIMAGELISTS | WS_TABSTOP,
            WS_EX_CLIENTEDGE, font),
        kBackupColumns, 3, 0, scale_.dpi);
    ListView_SetExtendedListViewStyle(ListViewBackupsUninstall,
                                      LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    LabelQuarantineUninstall.Create(components_, names::kLabelQuarantineUninstall, form,
                                    kIdLabelQuarantineUninstall, WC_STATICW,
                                    SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS, 0, font);
    CreateMenus();
    // The message texts, read when a message is shown, and the names the language files
    // address without a control behind them.
    components_.AddAll(names::kTextOnly);
    Layout();
}

void MainWindow::CreateMenus() {
    namespace names = stored::main_window;
    PopupMenuUninstall.Build(components_, names::kPopupMenuUninstall, kProgramListMenu);
    PopupMenuBackups.Build(components_, names::kPopupMenuBackups, kBackupsMenu);

    // The general menu with its three submenus.
    PopupMenu_General.Create(components_, names::kPopupMenuGeneral);
    const HMENU general = PopupMenu_General.Handle();
    auto submenu = [&](const stored::ComponentName& name, const char* caption, HMENU& handle) {
        handle = CreatePopupMenu();
        AppendMenuW(general, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(handle),
                    Widen(caption).c_str());
        const int position = GetMenuItemCount(general) - 1;
        components_.Add(name)
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
    submenu(names::kThemeMenu, "Тема", ThemeMenu);
    for (const MenuItem& design : kThemeMenu)
        AppendMenuItem(components_, ThemeMenu, design);
    submenu(names::kLanguageMenu, "Язык", LanguageMenu);
    submenu(names::kViewMenu, "Вид", ViewMenu);
    for (const MenuItem& design : kViewMenu)
        AppendMenuItem(components_, ViewMenu, design);
    PopupMenu_General.Append(components_, kGeneralMenu);
}

void MainWindow::Layout() {
    if (ListViewUninstall.Handle() == nullptr)
        return;
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int width = client.right;
    const int height = client.bottom;
    const int topBar = scale_(kTopBarHeight);
    MoveWindow(SpeedButton_GeneralMenu, width - scale_(22 + 5), scale_(5), scale_(22), scale_(22),
               TRUE);
    MoveWindow(ButtonUninstall, scale_(4), topBar + scale_(4), scale_(100), scale_(100), TRUE);
    MoveWindow(ButtonBackupsUninstall, scale_(4), topBar + scale_(108), scale_(100), scale_(100),
               TRUE);

    const int left = scale_(kPanelWidth);
    const int pageWidth = width - left;

    SendMessageW(StatusBarUninstall, WM_SIZE, 0, 0);
    RECT status{};
    GetWindowRect(StatusBarUninstall, &status);
    const int statusHeight = status.bottom - status.top;
    const int part0 = scale_(145);
    const int part1 = (width - part0 > scale_(50)) ? width : part0 + scale_(50);
    int parts[2] = {part0, part1};
    SendMessageW(StatusBarUninstall, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));

    const bool uninstallPage = page_ == 0;
    const int bottom = height - statusHeight;
    const int searchTop = bottom - scale_(kSearchHeight);
    const int consoleTop = searchTop - scale_(consoleHeight_);
    const int listTop = topBar;
    ListViewUninstall.Place(left, listTop, pageWidth, consoleTop - listTop, uninstallPage);
    MemoLogUninstall.Place(left, consoleTop, pageWidth, scale_(consoleHeight_), uninstallPage);
    EditSearchUninstall.Place(left, searchTop, pageWidth, scale_(kSearchHeight), uninstallPage);
    ShowWindow(StatusBarUninstall, uninstallPage ? SW_SHOW : SW_HIDE);
    const int labelHeight = scale_(kStatusHeight);
    ListViewBackupsUninstall.Place(left, listTop, pageWidth, height - listTop - labelHeight,
                                   !uninstallPage);
    LabelQuarantineUninstall.Place(left + scale_(4), height - labelHeight + scale_(3),
                                   pageWidth - scale_(8), labelHeight - scale_(3), !uninstallPage);

    // "Путь установки" takes the width the other columns leave, which keep their limits.
    ListViewUninstall.KeepColumnLimits(kVisibleListColumns - 1, scale_.dpi);
    int used = 0;
    for (int column = 0; column < kVisibleListColumns - 1; ++column) {
        used += ListView_GetColumnWidth(ListViewUninstall, column);
    }
    const int rest = pageWidth - used - GetSystemMetrics(SM_CXVSCROLL) - 4;
    const int minimum = scale_(kProgramColumns[kVisibleListColumns - 1].minimum);
    ListView_SetColumnWidth(ListViewUninstall, kVisibleListColumns - 1,
                            rest > minimum ? rest : minimum);
}

void MainWindow::CreateFonts() {
    font_ = DesignFont(scale_(11));
    boldFont_ = DesignFont(scale_(11), FW_BOLD);
    menuButtonFont_ = DesignFont(scale_(21));
}

void MainWindow::CreatePageButtonPictures() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const int size = scale_(kPictureSize);
    ImageList3.Reset(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 8, 0));
    // The page buttons' pictures: the shell's own icons for a program list and a backup, in
    // the size of this DPI.
    const int shellIcons[8] = {2, 3, 4, 31, 6, 7, 8, 21};
    for (int index : shellIcons) {
        HICON extracted = nullptr;
        ExtractIconExW(L"shell32.dll", index, &extracted, nullptr, 1);
        const OwnedIcon icon(extracted);
        // The program's own icon is shared by the system and never destroyed.
        ImageList_AddIcon(ImageList3.Get(), icon ? icon.Get() : LoadIconW(instance, L"MAINICON"));
    }
    const std::pair<HWND, int> buttons[2] = {{ButtonUninstall, 7}, {ButtonBackupsUninstall, 4}};
    for (int i = 0; i < 2; ++i) {
        // The button shows the list but never frees it: the window keeps it.
        OwnedImageList& image = pageImages_[i];
        OwnedImageList old = std::move(image);
        image.Reset(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 1, 0));
        const OwnedIcon icon(ImageList_GetIcon(ImageList3.Get(), buttons[i].second, ILD_NORMAL));
        ImageList_AddIcon(image.Get(), icon.Get());
        BUTTON_IMAGELIST images{image.Get(), {0, scale_(20), 0, 0}, BUTTON_IMAGELIST_ALIGN_TOP};
        SendMessageW(buttons[i].first, BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&images));
    }
}

void MainWindow::ApplyDpi(int oldDpi) {
    CreateFonts();
    for (HWND control : std::initializer_list<HWND>{
             ListViewUninstall, MemoLogUninstall, EditSearchUninstall, StatusBarUninstall,
             ListViewBackupsUninstall, LabelQuarantineUninstall}) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), TRUE);
    }
    SendMessageW(SpeedButton_GeneralMenu, WM_SETFONT,
                 reinterpret_cast<WPARAM>(menuButtonFont_.Get()), TRUE);
    SetBold(ButtonUninstall, page_ == 0);
    SetBold(ButtonBackupsUninstall, page_ == 1);
    CreatePageButtonPictures();
    SendMessageW(StatusBarUninstall, SB_SETMINHEIGHT, scale_(kStatusHeight), 0);
    for (HWND list : std::initializer_list<HWND>{ListViewUninstall, ListViewBackupsUninstall}) {
        const HWND header = ListView_GetHeader(list);
        const int columns = header ? Header_GetItemCount(header) : 0;
        for (int column = 0; column < columns; ++column) {
            const int width = ListView_GetColumnWidth(list, column);
            ListView_SetColumnWidth(list, column, MulDiv(width, scale_.dpi, oldDpi));
        }
    }
    Layout();
}

}  // namespace corvandel
