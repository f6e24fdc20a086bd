#pragma once
// The program list page of the main window: the list of installed programs with its search
// box, console and status bar, the scan that fills it, and the commands on its selected
// entry. The window keeps its event names and calls in here.

#include <windows.h>

#include <commctrl.h>

#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/gui_thread_win.h"
#include "foundation/job.h"
#include "foundation/platform_win.h"
#include "foundation/registry_win.h"
#include "inventory/icon_job_win.h"
#include "inventory/presentation.h"
#include "inventory/uninstall_entry.h"
#include "queue/queue_rules.h"
#include "queue/uninstall_queue_win.h"
#include "removal/removal_rules.h"
#include "ui/component.h"
#include "ui/controls_win.h"
#include "ui/page_host_win.h"

namespace corvandel {

// What the program list asks of the window beyond any page's needs.
class ProgramListHost : public PageHost {
  public:
    virtual HWND Window() const = 0;
    // The window's texts (message texts, column captions), in the current language.
    virtual const ComponentList& Texts() const = 0;
    virtual HFONT BoldFont() const = 0;
    // Disables (true) or enables the rest of the window around a scan.
    virtual void ScanRunning(bool running) = 0;
    // After a scan, once the rows are in place.
    virtual void ScanFinished() = 0;
    // Programs are gone: looks for what they left, by the records kept of them.
    virtual void OfferCleanup(std::vector<std::string> recordFiles) = 0;
};

struct ProgramListControls {
    ListView& list;
    Edit& console;
    Edit& search;
    StatusBar& status;
};

// The entry's own programs besides its uninstaller.
enum class EntryToolKind { Modify, Repair };

class ProgramListPage {
  public:
    ProgramListPage(ProgramListHost& host, const ProgramListControls& controls,
                    Win32RegistryApi& registry, const Win32FileSystem& files,
                    const Win32SpecialFolders& folders, const Win32Locale& locale);

    // Gives the lists their rows and looks, once the controls exist.
    void Connect();
    bool Scanning() const { return scanJob_ != nullptr; }
    bool WebSiteVisible() const { return webSiteVisible_; }
    // The list's notifications; nothing when the notification is not the list's.
    std::optional<LRESULT> HandleNotify(NMHDR& header);

    // Reads the entries anew off the window's thread; the rows show as they come.
    void StartScan();
    // Begins the first scan before the window exists, so that the registry is read while the
    // windows are made; its rows reach the list once StartScan runs.
    void StartScanEarly();
    // Stops and waits for the page's background work (the window is closing).
    void StopWork();
    void EditSearchUninstallChange();
    // Lists only the entries whose uninstaller is gone (true), or all of them.
    void SetBrokenOnly(bool brokenOnly);
    // Reads the entries anew and selects the entry selected now, where it is still listed.
    void RefreshKeepingSelection();
    void SetIconSize(bool large);
    int SelectedRow() const;
    // Every selected row, in the list's order.
    std::vector<UninstallEntry> SelectedEntries() const;

    // Commands on the selected entry.
    void RunUninstaller();
    // What "Изменить" or "Исправить" would start for the selected entry; nothing when the
    // entry's values allow neither.
    std::optional<ProcessLaunch> EntryTool(EntryToolKind kind) const;
    void StartEntryTool(EntryToolKind kind);
    void DeleteKeyUninstallMenuClick();
    // "Найти остатки" on an entry whose uninstaller is gone: its record is kept, then searched.
    bool SelectedIsBroken() const;
    void FindLeftoversOfSelected();
    void OpenFolderUninstallMenuClick();
    void WebSiteUninstallMenuClick();
    void RegistryKeyOpenUninstallMenuClick();
    void LogCreateMenuClick();

  private:
    void ScanRowsArrived(std::vector<UninstallEntry>& rows, const std::string& current);
    void ScanEnded();
    // Shows rows_ in the list; unchanged rows (the same ones, in the same order) are not drawn
    // anew.
    void ShowRows(bool changed = true);
    // One entry's uninstall, run as a queue of one, and what became of it.
    struct SingleUninstall {
        std::mutex recordMutex;
        std::string record;  // kept on the queue's thread just before the uninstaller starts
        std::string caption;
        QueueItemState state;
        bool finished = false;
        std::unique_ptr<UninstallQueue> queue;  // last: stopped before the rest goes
    };
    // The list is read again and the record offered for a clean-up when the entry is gone; an
    // uninstaller that could not run is said.
    void SingleUninstallFinished(SingleUninstall& run);
    // The search text and the broken-entry filter over the full list.
    void ApplyFilter();
    void StartScanJob(JobDelivery delivery);
    void KeepFullCopy();
    void ListViewUninstallColumnClick(int column);
    // Widens the caption and publisher columns to their texts (at least 200 at 96 DPI).
    void FitNameColumns();
    // Shows the selected entry's key and starts the walk of its folder.
    void ListViewUninstallSelectItem();
    void FolderSizeArrived(int64_t size, bool webSite);
    void ShowEntryKey();
    // Icons and icon sources fill in after the list is shown, from a job off this thread.
    void StartIcons();
    void IconTextsArrived(std::vector<IconRowTexts>& texts);
    void IconsArrived(std::vector<FileIcon>& icons);
    void ShowIconProgress(IconProgress progress);
    // Puts waiting icons in the lists for a short while, and asks for another turn when
    // some are left.
    void PlaceIcons();
    // The system's image list of one size; asked of the shell once.
    HIMAGELIST ImageList(bool large);
    // The list slot of a file's own icon, in both system lists; pictures the lists have
    // already share its slot, so that refreshes do not grow the lists. Nothing when the icon
    // could not be added.
    std::optional<int> AddIcon(const FileIcon& icon);
    // Writes the backup text as a new file in the backup folder; throws when it cannot.
    std::string ExportRegistry(const std::string& text);

    ProgramListHost& host_;
    ListView& list_;
    Edit& console_;
    Edit& search_;
    StatusBar& status_;
    Win32RegistryApi& registry_;
    const Win32FileSystem& files_;
    const Win32SpecialFolders& folders_;
    const Win32Locale& locale_;

    std::vector<UninstallEntry> rows_;     // what the list shows, in its order
    std::vector<UninstallEntry> allRows_;  // the full copy: every row of the last scan, by id
    std::vector<SearchText> searchTexts_;  // allRows_' lower-cased texts for the search
    int allRowsDirection_ = 1;             // the name order allRows_ is sorted in
    int sortDirection_ = 1;                // 1 ascending, -1 descending; each header click flips it
    HIMAGELIST imageLists_[2] = {};        // the system's small and large lists, once asked
    std::unordered_map<uint64_t, int> iconSlots_;  // added icons by their pictures' digest
    std::deque<FileIcon> pendingIcons_;            // icons that came and wait for a slot
    bool iconsDone_ = false;                       // the job has sent its last icons
    ULONGLONG lastProgress_ = 0;
    ULONGLONG lastIconDraw_ = 0;
    bool iconsUndrawn_ = false;    // icons were placed since the list was last drawn
    bool iconListsInStep_ = true;  // an added icon has one index in both system lists
    std::string detailsText_;      // the selection's status text, shown again after icons
    std::wstring reportFileName_;
    int placeholderIcon_ = 0;
    bool webSiteVisible_ = false;
    // Set while the page changes the list's rows or selection itself, so that the
    // notifications this sends are not taken for the user's.
    bool filling_ = false;
    bool brokenOnly_ = false;
    std::string keptSelection_;  // the duplicate key of the entry to select after a refresh

    // Where the scan begun before the window reports, until StartScan names the window.
    std::shared_ptr<DeliveryToComingWindow> earlyScanDelivery_;

    // Last, so that they are stopped and joined before anything they report to goes.
    std::unique_ptr<Job> scanJob_;
    std::unique_ptr<Job> sizeJob_;  // the selected entry's folder size
    // Records kept for "Найти остатки", and the single uninstalls running or done.
    std::vector<std::unique_ptr<Job>> recordJobs_;
    std::vector<std::unique_ptr<SingleUninstall>> singleUninstalls_;
    std::unique_ptr<IconJob> iconJob_;
};

}  // namespace corvandel
