#pragma once
// The program list page of the main window: the list of installed programs with its search
// box, console and status bar, the scan that fills it, and the commands on its selected
// entry. The window keeps its event names and calls in here.

#include <windows.h>

#include <commctrl.h>

#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "foundation/platform_win.h"
#include "foundation/registry_win.h"
#include "inventory/uninstall_entry.h"
#include "ui/component.h"
#include "ui/controls_win.h"
#include "ui/page_host_win.h"

namespace corvandel {

extern int SortDirection;

// What the program list asks of the window beyond any page's needs.
class ProgramListHost : public PageHost {
  public:
    virtual HWND Window() const = 0;
    // The window's texts (message texts, column captions), in the current language.
    virtual const ComponentList& Texts() const = 0;
    virtual HFONT BoldFont() const = 0;
    // True once the window is asked to close; a running scan stops then.
    virtual bool Closing() const = 0;
    // Disables (true) or enables the rest of the window around a scan.
    virtual void ScanRunning(bool running) = 0;
    // After a scan: lays the window out and carries out a close asked for meanwhile.
    virtual void ScanFinished() = 0;
};

struct ProgramListControls {
    ListView& list;
    ListView& copy;  // the hidden full copy the search filters from
    Edit& console;
    Edit& search;
    StatusBar& status;
};

class ProgramListPage {
  public:
    ProgramListPage(ProgramListHost& host, const ProgramListControls& controls,
                    Win32RegistryApi& registry, const Win32FileSystem& files,
                    const Win32SpecialFolders& folders, const Win32Locale& locale);

    // Gives the lists their rows and looks, once the controls exist.
    void Connect();
    bool Scanning() const { return scanning_; }
    bool WebSiteVisible() const { return webSiteVisible_; }
    // The list's notifications; nothing when the notification is not the list's.
    std::optional<LRESULT> HandleNotify(NMHDR& header);

    void globLoadUninstall();
    void EditSearchUninstallChange();
    void SetIconSize(bool large);
    int SelectedRow() const;

    // Commands on the selected entry.
    void UnDel();
    void DeleteKeyUninstallMenuClick();
    void OpenFolderUninstallMenuClick();
    void WebSiteUninstallMenuClick();
    void RegistryKeyOpenUninstallMenuClick();
    void LogCreateMenuClick();

  private:
    class ScanToList;

    void LoadFromReg();
    void ShowRows();
    void addListViewDub();
    void ListViewUninstallColumnClick(int column);
    void ListViewUninstallSelectItem();
    void key();
    void LoadProductIconsAndFolders();
    void LoadIconsForItems();
    void LoadIconsDLL();
    // Writes the backup text as a new file in the backup folder; throws when it cannot.
    std::string ExportRegistry(const std::string& text);
    int Scale(int designPixels) const { return MulDiv(designPixels, host_.Dpi(), 96); }

    ProgramListHost& host_;
    ListView& list_;
    ListView& copy_;
    Edit& console_;
    Edit& search_;
    StatusBar& status_;
    Win32RegistryApi& registry_;
    const Win32FileSystem& files_;
    const Win32SpecialFolders& folders_;
    const Win32Locale& locale_;

    std::vector<UninstallEntry> rows_;            // what the list shows, in its order
    std::vector<UninstallEntry> allRows_;         // the hidden copy: every row of the last scan
    std::unordered_set<std::string> addedIcons_;  // files whose icons the program added
    std::wstring reportFileName_;
    int placeholderIcon_ = 0;
    bool webSiteVisible_ = false;
    bool scanning_ = false;
    bool filling_ = false;
    unsigned selectionGeneration_ = 0;
};

}  // namespace corvandel
