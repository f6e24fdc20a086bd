#include "app/main_window_win.h"

#include <shellapi.h>
#include <windowsx.h>

#include "about/FileInfoUtils.h"
#include "about/about_window_win.h"
#include "app/leftover_records_win.h"
#include "app/list_columns_win.h"
#include "app/main_caption.h"
#include "app/main_window_design_win.h"
#include "app/windows_version.h"
#include "appearance/theme_win.h"
#include "foundation/handle_win.h"
#include "foundation/text.h"
#include "foundation/win_text.h"
#include "leftovers/leftovers_window_win.h"
#include "queue/queue_window_win.h"
#include "settings/settings.h"
#include "settings/settings_win.h"
#include "ui/commands.h"
#include "ui/control_ids.h"
#include "ui/menus_win.h"
#include "ui/stored_names.h"
#include "ui/window_proc_win.h"
#include "update/updater_window_win.h"

namespace corvandel {

using namespace main_window;

namespace {

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

}  // namespace

MainWindow::MainWindow(SettingsStore& settings) : settings_(settings) {}

MainWindow::~MainWindow() = default;

bool MainWindow::Create() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &RoutedWindowProc<MainWindow>;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, L"MAINICON");
    wc.hIconSm = wc.hIcon;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = stored::kMainWindow.windowClass;
    if (!RegisterClassExW(&wc))
        return false;

    // The design sizes are for 96 DPI; the window opens at the system's DPI.
    scale_.dpi = WindowDpi(nullptr);
    RECT frame{0, 0, scale_(kClientWidth), scale_(kClientHeight)};
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    AdjustWindowRectExForDpi(&frame, style, FALSE, 0, scale_.dpi);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    hwnd_ = CreateWindowExW(0, stored::kMainWindow.windowClass, L"Corvandel", style, x, y, width,
                            height, nullptr, nullptr, instance, this);
    return hwnd_ != nullptr;
}

void MainWindow::Show() {
    ShowWindow(hwnd_, startMaximized_ ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    // The whole window, every control included, is drawn before it is first seen.
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_UPDATENOW | RDW_ERASENOW | RDW_ALLCHILDREN);
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // Colours, owner-drawn buttons and menus belong to the look in force.
    if (message != WM_CREATE) {
        if (const auto drawn = AppTheme::Instance().HandleMessage(hwnd_, message, wParam, lParam))
            return *drawn;
    }
    switch (message) {
        case WM_CREATE:
            FormCreate();
            return 0;
        case WM_SIZE:
            Layout();
            return 0;
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize.x = scale_(kMinWidth);
            info->ptMinTrackSize.y = scale_(kMinHeight);
            return 0;
        }
        case WM_DPICHANGED: {
            // Another monitor or another scale: everything is laid out anew at the new DPI
            // in the place the system suggests.
            const int old = scale_.dpi;
            scale_.dpi = DpiOfMessage(wParam);
            ApplyDpi(old);
            MoveToRect(hwnd_, SuggestedRect(lParam));
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
                listPage_.EditSearchUninstallChange();
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
            if (source == ListViewUninstall && !listPage_.Scanning()) {
                ShowPopup(PopupMenuUninstall, hwnd_, at, TPM_LEFTALIGN);
            } else if (source == ListViewBackupsUninstall) {
                ShowPopup(PopupMenuBackups, hwnd_, at, TPM_LEFTALIGN);
            }
            return 0;
        }
        case WM_CLOSE:
            if (update_ != nullptr && update_->ExitingForUpdate()) {
                // The installer replaces the program; the settings stay as they are.
                DestroyWindow(hwnd_);
                return 0;
            }
            // A scan or walk under way is stopped, not waited for to its end; an uninstaller
            // the queue started runs on by itself, and no further one starts.
            listPage_.StopWork();
            if (queue_ != nullptr)
                queue_->StopWork();
            if (leftovers_ != nullptr)
                leftovers_->StopWork();
            FormClose();
            DestroyWindow(hwnd_);
            return 0;
        case WM_SETTINGCHANGE:
            WMWinIniChange();
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT MainWindow::HandleNotify(NMHDR& header) {
    if (const auto result = listPage_.HandleNotify(header))
        return *result;
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

void MainWindow::HandleCommand(int id) {
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
        case kCmdBrokenOnlyMenu:
            ReleaseGeneralMenuButton();
            brokenOnly_ = !brokenOnly_;
            CheckMenuItem(PopupMenu_General.Handle(), kCmdBrokenOnlyMenu,
                          MF_BYCOMMAND | (brokenOnly_ ? MF_CHECKED : MF_UNCHECKED));
            listPage_.SetBrokenOnly(brokenOnly_);
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
            ThemeClick(id);
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
            if (update_)
                update_->ShowModal(hwnd_);
            break;
        default:
            if (id >= kCmdLanguageFirst && id <= kCmdLanguageLast) {
                LanguageItemClick(static_cast<size_t>(id - kCmdLanguageFirst));
                break;
            }
            // Commands on the selected entry and on the backups.
            if (!listPage_.Scanning())
                HandleRemovalCommand(id);
            break;
    }
}

void MainWindow::FormCreate() {
    const std::string folder = ExecutableFolder();
    CreateComponents();
    AppTheme::Instance().AddWindow(hwnd_);
    backupsPage_.SetFolder(folder + "backup\\");
    backupsPage_.SetUntrustedRestoreQuestion([this](const std::string& backups) {
        const std::string question =
            components_.Caption(stored::main_window::kLangUntrustedBackup) + "\r\n\r\n" + backups;
        return MessageBoxW(hwnd_, Widen(question).c_str(),
                           Widen(components_.Caption(stored::main_window::kLangAttention)).c_str(),
                           MB_ICONWARNING | MB_YESNO | MB_DEFBUTTON2) == IDYES;
    });
    backupsPage_.SetOtherBackups({[this] { return CleanupRows(); },
                                  [this](const OtherBackup& row, BackupAction action) {
                                      return ActOnCleanupRow(row, action);
                                  }});
    listPage_.Connect();
    const std::string caption = MainWindowCaption(GetFileVersion(ExecutablePath()),
                                                  CORVANDEL_BITNESS, settings_.Portable());
    components_.Find(stored::kMainWindow.form)->Set("Caption", caption);

    SendMessageW(ListViewUninstall, WM_UPDATEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
    AttachSystemImageLists(ListViewUninstall);
    AttachSystemImageLists(ListViewBackupsUninstall);
    CreateDirectoryW(Widen(folder + "backup").c_str(), nullptr);  // may already exist
    page_ = 0;
    Layout();
}

void MainWindow::EnablePanel(bool enabled) {
    EnableWindow(ButtonUninstall, enabled);
    EnableWindow(ButtonBackupsUninstall, enabled);
}

void MainWindow::FormActivate() {
    listPage_.StartScan();
}

void MainWindow::FormClose() {
    SaveOptions();
}

void MainWindow::HandleRemovalCommand(int id) {
    // While a queue runs the list is for reading: nothing else starts or removes anything.
    const bool queueRunning = queue_ != nullptr && queue_->Running();
    switch (id) {
        case kCmdUninstallUninstallMenu:
            if (!queueRunning)
                listPage_.RunUninstaller();
            break;
        case kCmdUninstallSelectedMenu:
            OpenQueue();
            break;
        case kCmdModifyUninstallMenu:
            if (!queueRunning)
                listPage_.StartEntryTool(EntryToolKind::Modify);
            break;
        case kCmdRepairUninstallMenu:
            if (!queueRunning)
                listPage_.StartEntryTool(EntryToolKind::Repair);
            break;
        case kCmdDeleteKeyUninstallMenu:
            if (!queueRunning)
                listPage_.DeleteKeyUninstallMenuClick();
            break;
        case kCmdOpenFolderUninstallMenu:
            listPage_.OpenFolderUninstallMenuClick();
            break;
        case kCmdWebSiteUninstallMenu:
            listPage_.WebSiteUninstallMenuClick();
            break;
        case kCmdFindLeftoversUninstallMenu:
            if (!queueRunning)
                listPage_.FindLeftoversOfSelected();
            break;
        case kCmdRegistryKeyOpenUninstallMenu:
            listPage_.RegistryKeyOpenUninstallMenuClick();
            break;
        case kCmdBackupsUpdateMenu:
            backupsPage_.Update();
            break;
        case kCmdBackupsRestoreMenu:
            backupsPage_.Restore();
            break;
        case kCmdBackupsDelMenu:
            backupsPage_.Delete();
            break;
        case kCmdBackupsDelAllMenu:
            backupsPage_.DeleteAll();
            break;
        case kCmdBackupsLeftoversMenu:
            backupsPage_.FindLeftovers();
            break;
        case kCmdBackupsEmptyMonthMenu:
            EmptyQuarantine(30);
            break;
        case kCmdBackupsEmptyQuarterMenu:
            EmptyQuarantine(90);
            break;
        case kCmdBackupsEmptyYearMenu:
            EmptyQuarantine(365);
            break;
    }
}

void MainWindow::SetQueueWindow(QueueWindow* queue) {
    queue_ = queue;
    // The list is read again once, when the whole queue has ended; what the removed entries
    // left behind is looked for then.
    queue_->OnFinished([this] {
        listPage_.RefreshKeepingSelection();
        std::vector<std::string> records;
        {
            const std::lock_guard lock(queueRecordsMutex_);
            for (const QueueItem& item : queue_->RemovedItems()) {
                const auto found = queueRecords_.find(item.rootName + item.keyPath);
                if (found != queueRecords_.end() && !found->second.empty())
                    records.push_back(found->second);
            }
            queueRecords_.clear();
        }
        if (!records.empty())
            OfferCleanup(std::move(records));
    });
    // Each entry's record is kept just before its uninstaller starts, on the queue's thread
    // with a registry and folders of its own.
    queue_->BeforeEachRun([this](const QueueItem& item) {
        Win32RegistryApi registry;
        const Win32FileSystem files;
        const Win32SpecialFolders folders;
        std::string record = KeepRecord(registry, files, folders, item.rootName, item.keyPath);
        const std::lock_guard lock(queueRecordsMutex_);
        queueRecords_[item.rootName + item.keyPath] = std::move(record);
    });
}

void MainWindow::OpenQueue() {
    if (queue_ == nullptr)
        return;
    if (queue_->Running()) {
        queue_->Open({});
        return;
    }
    std::vector<QueueChoice> choices;
    for (const UninstallEntry& entry : listPage_.SelectedEntries()) {
        QueueChoice choice;
        choice.item = {entry.caption, entry.columns[kColRootName], entry.columns[kColKeyPath]};
        const std::string& path = entry.columns[kColKeyPath];
        const std::string key = path.substr(path.find_last_of('\\') + 1);
        choice.ownEntry = AsciiLower(key) == AsciiLower(stored::kOwnUninstallKey);
        choices.push_back(std::move(choice));
    }
    if (!choices.empty())
        queue_->Open(std::move(choices));
}

void MainWindow::LogCreateMenuClick() {
    ReleaseGeneralMenuButton();
    listPage_.LogCreateMenuClick();
}

void MainWindow::IconSmallMenuClick() {
    SetIconSize(false);
}

void MainWindow::IconBigMenuClick() {
    SetIconSize(true);
}

void MainWindow::SetIconSize(bool large) {
    options_.iconSmall = !large;
    options_.iconBig = large;
    ShowOptions();
    listPage_.SetIconSize(large);
}

void MainWindow::ScanRunning(bool running) {
    EnablePanel(!running);
    EnableWindow(ListViewBackupsUninstall, !running);
    // The general menu stays closed until the list is there.
    EnableWindow(SpeedButton_GeneralMenu, !running);
}

void MainWindow::ScanFinished() {
    Layout();
}

void MainWindow::SetStatusText(int panel, const std::string& text) {
    StatusBarUninstall.SetText(panel, text);
}

void MainWindow::SetBold(HWND button, bool bold) {
    SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(bold ? boldFont_.Get() : font_.Get()),
                 TRUE);
}

bool MainWindow::PreTranslateMessage(MSG& msg) {
    // The queue window is not modal: its keys (Tab, Enter, Esc) are handled here.
    if (queue_ != nullptr && (msg.hwnd == queue_->Handle() || IsChild(queue_->Handle(), msg.hwnd)))
        return IsDialogMessageW(queue_->Handle(), &msg) != FALSE;
    if (leftovers_ != nullptr &&
        (msg.hwnd == leftovers_->Handle() || IsChild(leftovers_->Handle(), msg.hwnd))) {
        return IsDialogMessageW(leftovers_->Handle(), &msg) != FALSE;
    }
    // The context menus' shortcuts work in their own lists; the program list's not while a
    // scan runs.
    if (msg.hwnd == ListViewUninstall && !listPage_.Scanning())
        return PopupMenuUninstall.Translate(hwnd_, msg);
    if (msg.hwnd == ListViewBackupsUninstall)
        return PopupMenuBackups.Translate(hwnd_, msg);
    return false;
}

void MainWindow::ShowPopup(const PopupMenu& popup, HWND owner, POINT at, UINT flags) {
    if (&popup == &PopupMenuUninstall) {
        // The entry's own modify and repair programs, when its values name them; nothing new
        // starts while a queue runs.
        const bool queueRunning = queue_ != nullptr && queue_->Running();
        const auto enable = [&popup](int id, bool enabled) {
            EnableMenuItem(popup.Handle(), id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
        };
        enable(kCmdModifyUninstallMenu,
               !queueRunning && listPage_.EntryTool(EntryToolKind::Modify).has_value());
        enable(kCmdRepairUninstallMenu,
               !queueRunning && listPage_.EntryTool(EntryToolKind::Repair).has_value());
        enable(kCmdUninstallUninstallMenu, !queueRunning);
        enable(kCmdDeleteKeyUninstallMenu, !queueRunning);
        enable(kCmdFindLeftoversUninstallMenu, !queueRunning && listPage_.SelectedIsBroken());
        // The web-site item shows only for entries that have a web address.
        const bool present = GetMenuState(popup.Handle(), kCmdWebSiteUninstallMenu, MF_BYCOMMAND) !=
                             static_cast<UINT>(-1);
        if (present && !listPage_.WebSiteVisible()) {
            RemoveMenu(popup.Handle(), kCmdWebSiteUninstallMenu, MF_BYCOMMAND);
        } else if (!present && listPage_.WebSiteVisible()) {
            const Component* item = components_.Find(stored::main_window::kWebSiteUninstallMenu);
            MENUITEMINFOW info{};
            info.cbSize = sizeof info;
            UINT position = 0;
            while (kProgramListMenu[position].id != kCmdWebSiteUninstallMenu)
                ++position;
            const std::wstring text =
                MenuText(item->Text("Caption"), kProgramListMenu[position].shortcut);
            info.fMask = MIIM_ID | MIIM_STRING;
            info.wID = kCmdWebSiteUninstallMenu;
            info.dwTypeData = const_cast<wchar_t*>(text.c_str());
            InsertMenuItemW(popup.Handle(), position, TRUE, &info);
        }
    }
    popup.Show(owner, at, flags);
}

void MainWindow::SpeedButton_GeneralMenuClick() {
    if (generalMenuOpen_) {
        // A click while the flag is set only resets it.
        generalMenuOpen_ = false;
        EndMenu();
        return;
    }
    generalMenuOpen_ = true;
    RECT button{};
    GetWindowRect(SpeedButton_GeneralMenu, &button);
    ShowPopup(PopupMenu_General, hwnd_, POINT{button.right, button.bottom}, TPM_RIGHTALIGN);
}

void MainWindow::RefreshListMenuClick() {
    ReleaseGeneralMenuButton();
    listPage_.StartScan();
}

void MainWindow::ViewLogMenuClick() {
    ReleaseGeneralMenuButton();
    consoleHeight_ = options_.viewLog ? kConsoleHeight : 0;  // at 96 DPI
    Layout();
}

void MainWindow::AboutMenuClick() {
    ReleaseGeneralMenuButton();
    if (about_)
        about_->ShowModal(hwnd_, components_.Caption(stored::kMainWindow.form));
}

void MainWindow::ButtonUninstallClick() {
    page_ = 0;
    SetBold(ButtonUninstall, true);
    SetBold(ButtonBackupsUninstall, false);
    Layout();
}

void MainWindow::ButtonBackupsUninstallClick() {
    page_ = 1;
    SetBold(ButtonUninstall, false);
    SetBold(ButtonBackupsUninstall, true);
    Layout();
    backupsPage_.ListBackups(ExecutableFolder() + "backup\\");
}

bool MainWindow::IsWindows10Or11() {
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
