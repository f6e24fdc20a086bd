#pragma once
// The main window: the program list with its search box, console and status bar, the
// backups page, the left page buttons, the general menu and the context menus.

#include <windows.h>

#include <commctrl.h>

#include <map>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "app/program_list_page_win.h"
#include "foundation/handle_win.h"
#include "foundation/platform_win.h"
#include "foundation/registry_win.h"
#include "inventory/uninstall_entry.h"
#include "removal/backups_page_win.h"
#include "settings/languages_win.h"
#include "settings/settings.h"
#include "settings/settings_win.h"
#include "ui/component.h"
#include "ui/controls_win.h"
#include "ui/dpi_win.h"
#include "ui/menus_win.h"

namespace corvandel {

class AboutWindow;
class LeftoversWindow;
class QueueWindow;
class UpdaterWindow;

class MainWindow : public ProgramListHost {
  public:
    explicit MainWindow(SettingsStore& settings);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Starts reading the entries at once, before the window is made; the list takes them
    // when it first shows.
    void StartScanEarly() { listPage_.StartScanEarly(); }
    // Creates the window (runs FormCreate); it shows only once the program may run.
    bool Create();
    void Show();
    HWND Handle() const { return hwnd_; }
    ComponentList& Components() { return components_; }
    void SetAboutWindow(AboutWindow* about) { about_ = about; }
    void SetUpdateWindow(UpdaterWindow* update) { update_ = update; }
    void SetQueueWindow(QueueWindow* queue);
    void SetLeftoversWindow(LeftoversWindow* leftovers);

    void LoadOptions();
    // The windows the language files address, in the program's window order.
    std::vector<LanguageWindow> LanguageWindows();
    // Rebuilds the language menu from the language folder.
    void LoadLanguage();
    bool IsWindows10Or11();
    // Keyboard shortcuts of the context menus, before the message is dispatched.
    bool PreTranslateMessage(MSG& msg);

  private:
    template <typename Window>
    friend LRESULT CALLBACK RoutedWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleNotify(NMHDR& header);
    // "Деинсталлировать выбранные": the queue window with the selected entries, or with the
    // queue that runs.
    void OpenQueue();
    void HandleCommand(int id);

    // Window life cycle.
    void FormCreate();
    void FormActivate();
    void FormClose();
    void CreateComponents();
    void CreateMenus();
    void Layout();
    void SaveOptions();
    void CreateFonts();
    void CreatePageButtonPictures();
    void ApplyDpi(int oldDpi);
    MainSettings CurrentOptions();

    // General menu and pages.
    void SpeedButton_GeneralMenuClick();
    void ReleaseGeneralMenuButton() { generalMenuOpen_ = false; }
    void RefreshListMenuClick();
    void ViewLogMenuClick();
    void AboutMenuClick();
    // The three looks of the theme menu, and the system's switch between light and dark.
    void ThemeClick(int id);
    void WMWinIniChange();
    void LanguageItemClick(size_t index);
    void ButtonUninstallClick();
    void ButtonBackupsUninstallClick();
    // Checks the menu items that show the options.
    void ShowOptions();
    void ShowPopup(const PopupMenu& popup, HWND owner, POINT at, UINT flags);

    // The pages: the program list and its entry commands, and the backups.
    void HandleRemovalCommand(int id);
    void LogCreateMenuClick();
    void IconSmallMenuClick();
    void IconBigMenuClick();
    void SetIconSize(bool large);

    // What the program list page asks of the window.
    HWND Window() const override { return hwnd_; }
    const ComponentList& Texts() const override { return components_; }
    HFONT BoldFont() const override { return boldFont_.Get(); }
    void ScanRunning(bool running) override;
    void ScanFinished() override;
    void OfferCleanup(std::vector<std::string> recordFiles) override;

    // The backups page's rows of clean-ups and of records of removed programs, and what its
    // commands do on them.
    std::vector<OtherBackup> CleanupRows();
    bool ActOnCleanupRow(const OtherBackup& row, BackupAction action);
    // Deletes, after a question, the clean-ups made more than that many days ago.
    void EmptyQuarantine(int days);
    // "Найти остатки" on a record: only once its program is gone or broken.
    void FindLeftoversOfRecord(const std::string& recordFile);
    void SetStatusText(int panel, const std::string& text);
    int Dpi() const override { return scale_.dpi; }
    void SetBold(HWND button, bool bold);
    void EnablePanel(bool enabled) override;

    HWND hwnd_ = nullptr;
    ComponentList components_;
    AboutWindow* about_ = nullptr;
    UpdaterWindow* update_ = nullptr;
    QueueWindow* queue_ = nullptr;
    LeftoversWindow* leftovers_ = nullptr;
    // The record kept before each queued uninstall, by the entry's root and key path; written
    // on the queue's thread.
    std::mutex queueRecordsMutex_;
    std::map<std::string, std::string> queueRecords_;
    bool brokenOnly_ = false;  // the list shows only entries whose uninstaller is gone

    Button SpeedButton_GeneralMenu;
    Button ButtonUninstall;
    Button ButtonBackupsUninstall;
    ListView ListViewUninstall;
    Edit MemoLogUninstall;
    Edit EditSearchUninstall;
    StatusBar StatusBarUninstall;
    ListView ListViewBackupsUninstall;
    Control LabelQuarantineUninstall;
    BackupsPage backupsPage_{*this, ListViewBackupsUninstall};
    OwnedImageList ImageList3;
    OwnedImageList pageImages_[2];  // one picture for each page button

    PopupMenu PopupMenuUninstall;
    PopupMenu PopupMenuBackups;
    PopupMenu PopupMenu_General;
    HMENU ThemeMenu = nullptr;
    HMENU LanguageMenu = nullptr;
    HMENU ViewMenu = nullptr;
    std::vector<std::string> languageCaptions_;  // the language menu's items, in menu order

    OwnedFont font_;
    OwnedFont boldFont_;
    OwnedFont menuButtonFont_;

    SettingsStore& settings_;
    Win32RegistryApi registry_;
    Win32FileSystem files_;
    Win32SpecialFolders folders_;
    Win32Locale locale_;

    ProgramListPage listPage_{
        *this,     {ListViewUninstall, MemoLogUninstall, EditSearchUninstall, StatusBarUninstall},
        registry_, files_,
        folders_,  locale_};
    int consoleHeight_ = 0;  // at 96 DPI
    // Design sizes (96 DPI) in this window's pixels: scale_(11).
    DpiScale scale_;
    bool generalMenuOpen_ = false;
    bool activated_ = false;
    bool startMaximized_ = false;
    MainSettings options_;       // the options in force; the menus show them
    MainSettings startOptions_;  // as they were once the settings file was applied
    int page_ = 0;
};

}  // namespace corvandel
