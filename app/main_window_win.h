#pragma once
// The main window: the program list with its search box, console and status bar, the
// backups page, the left page buttons, the general menu and the context menus.

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <unordered_set>
#include <vector>

#include "foundation/handle_win.h"
#include "foundation/platform_win.h"
#include "foundation/registry_win.h"
#include "inventory/uninstall_entry.h"
#include "removal/backups_page_win.h"
#include "settings/settings.h"
#include "ui/component.h"
#include "ui/controls_win.h"
#include "ui/menus_win.h"

namespace corvandel {

extern bool PortableMode;
extern int SortDirection;

class TForm8;

class TForm1 : public PageHost {
  public:
    TForm1();
    ~TForm1();
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    // Creates the window (runs FormCreate); it shows only once the program may run.
    bool Create();
    void Show();
    HWND Handle() const { return hwnd_; }
    ComponentList& Components() { return components_; }
    void SetAboutWindow(TForm8* about) { about_ = about; }

    void LoadNastr();
    bool IsWindows10Or11();
    void globLoadUninstall();
    // Keyboard shortcuts of the context menus, before the message is dispatched.
    bool PreTranslateMessage(MSG& msg);

  private:
    class ScanToList;

    template <typename Window>
    friend LRESULT CALLBACK RoutedWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleNotify(NMHDR& header);
    void HandleCommand(int id);

    // Window life cycle.
    void FormCreate();
    void FormActivate();
    void FormClose();
    void CreateComponents();
    void CreateMenus();
    void Layout();
    void SaveNastr();
    // Design sizes (96 DPI) in this window's pixels.
    int Scale(int designPixels) const { return MulDiv(designPixels, dpi_, 96); }
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
    void ButtonUninstallClick();
    void ButtonBackupsUninstallClick();
    // Checks the menu items that show the options.
    void ShowOptions();
    void ShowPopup(const PopupMenu& popup, HWND owner, POINT at, UINT flags);

    // The program list (inventory/program_list_win.cpp).
    void LoadFromReg();
    void ShowRows();
    void addListViewDub();
    void ListViewUninstallGetDispInfo(NMLVDISPINFOW& info, const std::vector<UninstallEntry>& rows);
    void ListViewUninstallColumnClick(int column);
    LRESULT ListViewUninstallCustomDrawItem(NMLVCUSTOMDRAW& draw);
    void EditSearchUninstallChange();
    void ListViewUninstallSelectItem();
    void key();
    void LoadProductIconsAndFolders();
    void LoadIconsForItems();
    void LoadIconsDLL();
    void IconSmallMenuClick();
    void IconBigMenuClick();
    void SetIconSize(bool large);
    int SelectedRow() const;

    // Removal, backups, shell actions and the report (removal/removal_win.cpp).
    void HandleRemovalCommand(int id);
    void UnDel();
    void DeleteKeyUninstallMenuClick();
    // Writes the backup text as a new file in the backup folder; throws when it cannot.
    std::string ExportRegistry(const std::string& text);
    void OpenFolderUninstallMenuClick();
    void WebSiteUninstallMenuClick();
    void RegistryKeyOpenUninstallMenuClick();
    void LogCreateMenuClick();

    void SetStatusText(int panel, const std::string& text);
    // Handles pending messages; false when the window is closing.
    bool ProcessMessages() override;
    int Dpi() const override { return dpi_; }
    void SetBold(HWND button, bool bold);
    void EnablePanel(bool enabled) override;

    HWND hwnd_ = nullptr;
    ComponentList components_;
    TForm8* about_ = nullptr;

    Control TabControl;
    Button SpeedButton_GeneralMenu;
    Control TabControlPanel;
    Button ButtonUninstall;
    Button ButtonBackupsUninstall;
    TextControl TabUninstall;
    TextControl TabBackups;
    ListView ListViewUninstall;
    ListView ListviewDubUninstall;
    Edit MemoLogUninstall;
    Edit EditSearchUninstall;
    StatusBar StatusBarUninstall;
    ListView ListViewBackupsUninstall;
    BackupsPage backupsPage_{*this, ListViewBackupsUninstall};
    OwnedImageList ImageList3;
    OwnedImageList pageImages_[2];  // one picture for each page button

    PopupMenu PopupMenuUninstall;
    PopupMenu PopupMenuBackups;
    PopupMenu PopupMenu_General;
    HMENU ThemeMenu = nullptr;
    HMENU LanguageMenu = nullptr;
    HMENU ViewMenu = nullptr;

    OwnedFont font_;
    OwnedFont boldFont_;
    OwnedFont menuButtonFont_;

    Win32RegistryApi registry_;
    Win32FileSystem files_;
    Win32SpecialFolders folders_;
    Win32Locale locale_;

    std::vector<UninstallEntry> rows_;     // what ListViewUninstall shows, in its order
    std::vector<UninstallEntry> allRows_;  // ListviewDubUninstall: every row of the last scan
    std::wstring dispText_;
    std::unordered_set<std::string>
        addedIcons_;  // files whose icons the program added  // full path of each backups-list row
    std::wstring reportFileName_;
    int placeholderIcon_ = 0;
    int consoleHeight_ = 0;  // at 96 DPI
    int dpi_ = 96;
    bool webSiteVisible_ = false;
    bool generalMenuOpen_ = false;
    bool activated_ = false;
    bool scanning_ = false;
    bool closeRequested_ = false;
    bool filling_ = false;
    bool startMaximized_ = false;
    // The settings file could not be read at start: the program runs with the defaults and
    // leaves the file alone unless the user chooses another option.
    bool settingsUnreadable_ = false;
    MainSettings options_;       // the options in force; the menus show them
    MainSettings startOptions_;  // as they were once the settings file was applied
    int page_ = 0;
    unsigned selectionGeneration_ = 0;
};

}  // namespace corvandel
