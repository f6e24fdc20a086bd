// The program list page of the main window: the scan that fills it, sorting, the recent-entry
// marking, the search filter, the selection details and the icons.

#include "app/program_list_page_win.h"

#include "appearance/theme_win.h"

#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <utility>

#include "foundation/gui_thread_win.h"
#include "foundation/handle_win.h"
#include "foundation/text.h"
#include "foundation/win_text.h"
#include "inventory/folder_size_win.h"
#include "inventory/icon_file_win.h"
#include "inventory/install_date.h"
#include "inventory/presentation.h"
#include "inventory/scan.h"
#include "inventory/sorting.h"
#include "removal/registry_export.h"
#include "ui/commands.h"
#include "ui/control_ids.h"
#include "ui/dpi_win.h"
#include "ui/stored_names.h"

namespace corvandel {

namespace {

namespace names = stored::main_window;

// Icons are put in the lists for at most this long at a time; the rest waits for the next
// turn of the message loop, so the window keeps answering while they come.
constexpr ULONGLONG kIconSliceMs = 10;
// The list is drawn anew with the icons placed so far at most this often: each drawing costs
// the window as much as a slice.
constexpr ULONGLONG kIconDrawIntervalMs = 150;
// The icons' progress is shown at most this often: each showing costs the status bar a
// drawing pass.
constexpr ULONGLONG kProgressIntervalMs = 250;

// The rows read so far and the status are shown this often while the registry is read: each
// showing costs the list a layout pass.
constexpr ULONGLONG kShowIntervalMs = 300;
// Threads that share the registry pass: most of each call is waiting for the system, so
// more threads than cores still help.
constexpr unsigned kScanThreads = 3;
constexpr COLORREF kRecentColor = RGB(0, 128, 0);

// The shell's system image list of one size; the list view shows one of the two.
HIMAGELIST SystemImageList(bool large) {
    SHFILEINFOW info{};
    return reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(
        L"", 0, &info, sizeof info, SHGFI_SYSICONINDEX | (large ? 0 : SHGFI_SMALLICON)));
}

// The system image list index of the shell's icon for programs, found from the name alone.
std::optional<int> DefaultProgramIconIndex() {
    SHFILEINFOW info{};
    if (!SHGetFileInfoW(L"program.exe", FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                        SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES)) {
        return std::nullopt;
    }
    return info.iIcon;
}

// The system image list index of a file's icon, as the shell knows it. The shell reads only
// a file the guard passed, held open meanwhile; a file of another kind gets its type's icon
// from its name, and a refused one the icon for programs.
std::optional<int> ShellIconIndex(const std::string& path) {
    const CheckedIconFile file(path);
    if (file.Kind() == IconFileKind::Refused)
        return DefaultProgramIconIndex();
    SHFILEINFOW info{};
    // The index alone: no icon handle is made and destroyed again for every file.
    const UINT byName = file.Readable() ? 0 : SHGFI_USEFILEATTRIBUTES;
    if (!SHGetFileInfoW(Widen(path).c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                        SHGFI_SYSICONINDEX | SHGFI_SMALLICON | byName)) {
        return std::nullopt;
    }
    return info.iIcon;
}

std::u16string LowerCase(std::u16string_view text) {
    std::u16string out(text);
    if (!out.empty()) {
        CharLowerBuffW(reinterpret_cast<wchar_t*>(out.data()), static_cast<DWORD>(out.size()));
    }
    return out;
}

}  // namespace

ProgramListPage::ProgramListPage(ProgramListHost& host, const ProgramListControls& controls,
                                 Win32RegistryApi& registry, const Win32FileSystem& files,
                                 const Win32SpecialFolders& folders, const Win32Locale& locale)
    : host_(host),
      list_(controls.list),
      console_(controls.console),
      search_(controls.search),
      status_(controls.status),
      registry_(registry),
      files_(files),
      folders_(folders),
      locale_(locale) {}

void ProgramListPage::Connect() {
    // The list shows the filtered rows from memory.
    list_.SetRows(ListView::Rows{[this] { return rows_.size(); },
                                 [this](size_t row, int column) {
                                     const UninstallEntry& entry = rows_[row];
                                     return column == 0 ? entry.caption
                                            : column <= kEntryColumnCount
                                                ? entry.columns[column - 1]
                                                : std::string();
                                 },
                                 [this](size_t row) { return rows_[row].imageIndex; }});
    // Entries written in the last three days are drawn in bold green; a date that no longer
    // parses (the date format changed) is drawn normally.
    // Other entries whose uninstaller is gone are drawn grey.
    list_.SetRowLook([this](size_t row) -> std::optional<ListView::RowLook> {
        if (row >= rows_.size())
            return std::nullopt;
        const AppTheme& theme = AppTheme::Instance();
        if (IsRecentEntry(rows_[row].columns[kColInstallDate], locale_.ShortDateFormat(),
                          locale_.Now())) {
            return ListView::RowLook{theme.RecentTextColor(kRecentColor), host_.BoldFont()};
        }
        if (rows_[row].uninstallerMissing) {
            return ListView::RowLook{
                theme.Active() ? theme.Colors().grayText : GetSysColor(COLOR_GRAYTEXT), nullptr};
        }
        return std::nullopt;
    });
}

std::optional<LRESULT> ProgramListPage::HandleNotify(NMHDR& header) {
    // Row texts, images and looks are the list's own business.
    if (const auto result = list_.Reflect(header))
        return result;
    if (header.hwndFrom != list_)
        return std::nullopt;
    switch (header.code) {
        case LVN_COLUMNCLICK:
            ListViewUninstallColumnClick(reinterpret_cast<NMLISTVIEW&>(header).iSubItem);
            return 0;
        case LVN_ITEMCHANGED: {
            const auto& change = reinterpret_cast<NMLISTVIEW&>(header);
            // Several rows may be selected; the details follow the row that got the focus
            // with its selection, not every row of a range.
            if ((change.uChanged & LVIF_STATE) && (change.uNewState & LVIS_SELECTED) &&
                !(change.uOldState & LVIS_SELECTED) && !filling_ && change.iItem >= 0 &&
                (ListView_GetSelectedCount(list_) == 1 || change.iItem == SelectedRow())) {
                ListViewUninstallSelectItem();
            }
            return 0;
        }
        case NM_CLICK:
            if (!filling_)
                ListViewUninstallSelectItem();
            return 0;
        case LVN_GETINFOTIPW: {
            // A greyed entry says why when the pointer rests on it.
            auto& tip = reinterpret_cast<NMLVGETINFOTIPW&>(header);
            if (tip.iItem >= 0 && static_cast<size_t>(tip.iItem) < rows_.size() &&
                rows_[tip.iItem].uninstallerMissing && tip.cchTextMax > 0) {
                const std::wstring text =
                    Widen(host_.Texts().Caption(names::kLangUninstallerMissing));
                lstrcpynW(tip.pszText, text.c_str(), tip.cchTextMax);
            }
            return 0;
        }
    }
    return std::nullopt;
}

namespace {

// The rows the scan's threads read, handed to the window in batches a few times a second,
// with the name of the entry being read for the status bar.
class ScanBatches : public ScanSink {
  public:
    using Deliver = std::function<void(std::vector<UninstallEntry>, std::string)>;
    ScanBatches(const JobContext& job, Deliver deliver)
        : job_(job), deliver_(std::move(deliver)), lastShow_(GetTickCount64()) {}

    void EntryStarted(const std::string& displayName) override {
        const std::lock_guard guard(lock_);
        current_ = displayName;
    }
    void EntryRead(UninstallEntry entry) override {
        const std::lock_guard guard(lock_);
        rows_.push_back(std::move(entry));
    }
    bool KeepGoing() override {
        if (job_.Stopping())
            return false;
        const ULONGLONG now = GetTickCount64();
        const std::lock_guard guard(lock_);
        if (now - lastShow_ >= kShowIntervalMs) {
            lastShow_ = now;
            deliver_(std::exchange(rows_, {}), current_);
        }
        return true;
    }
    void Flush() {
        const std::lock_guard guard(lock_);
        deliver_(std::exchange(rows_, {}), "");
    }

  private:
    const JobContext& job_;
    Deliver deliver_;
    std::mutex lock_;
    ULONGLONG lastShow_;
    std::vector<UninstallEntry> rows_;
    std::string current_;
};

// Reads every entry, the registry passes shared among a few threads, each with a registry of
// its own.
void ReadEntries(const JobContext& job, const Win32FileSystem& files, const Win32Locale& locale,
                 bool viewsShared, ScanBatches::Deliver deliver) {
    ScanBatches batches(job, std::move(deliver));
    auto readSlice = [&](unsigned slice) {
        Win32RegistryApi registry;
        const Win32SpecialFolders folders;  // it keeps answers: one for each thread
        corvandel::ScanEntries(
            ScanEnvironment{registry, files, folders, locale, viewsShared, slice, kScanThreads},
            batches);
    };
    std::vector<std::thread> helpers;
    for (unsigned slice = 1; slice < kScanThreads; ++slice)
        helpers.emplace_back(readSlice, slice);
    readSlice(0);
    for (std::thread& helper : helpers)
        helper.join();
    batches.Flush();
}

}  // namespace

void ProgramListPage::StartScan() {
    // The list fills from one scan at a time; the window's commands on the list wait for it.
    if (scanJob_ && !earlyScanDelivery_)
        return;
    iconJob_.reset();  // icons of the last scan's rows are of no use any more
    sizeJob_.reset();
    host_.ScanRunning(true);
    filling_ = true;
    SetWindowTextW(search_, L"");
    EnableWindow(search_, FALSE);
    filling_ = false;
    rows_.clear();
    ListView_SetItemCountEx(list_, 0, 0);
    status_.SetText(0, "");
    status_.SetText(1, "");
    detailsText_.clear();
    // Every row shows the program's own icon until its own icon is known.
    const FileIcon own = ExtractFileIcon(ExecutablePath(), true);
    placeholderIcon_ = AddIcon(own).value_or(ShellIconIndex(ExecutablePath()).value_or(0));

    if (earlyScanDelivery_) {
        // The scan begun before the window existed reports to it from now on.
        std::exchange(earlyScanDelivery_, nullptr)->HandTo(host_.Window());
        return;
    }
    StartScanJob(GuiThread::To(host_.Window()));
}

void ProgramListPage::StartScanEarly() {
    if (scanJob_)
        return;
    earlyScanDelivery_ = std::make_shared<DeliveryToComingWindow>();
    StartScanJob(earlyScanDelivery_->Delivery());
}

void ProgramListPage::StartScanJob(JobDelivery delivery) {
    scanJob_ = std::make_unique<Job>(
        std::move(delivery),
        [this, viewsShared = WindowsIs64Bit()](JobContext& job) {
            // Only the files and locale objects are shared with this thread: neither changes.
            ReadEntries(job, files_, locale_, viewsShared,
                        [this, &job](std::vector<UninstallEntry> rows, std::string current) {
                            job.Post([this, rows = std::move(rows),
                                      current = std::move(current)]() mutable {
                                ScanRowsArrived(rows, current);
                            });
                        });
        },
        [this](bool) { ScanEnded(); });
}

void ProgramListPage::StopWork() {
    scanJob_.reset();
    iconJob_.reset();
    sizeJob_.reset();
    // Uninstallers run on by themselves; the program no longer waits for them.
    singleUninstalls_.clear();
}

void ProgramListPage::ScanRowsArrived(std::vector<UninstallEntry>& rows,
                                      const std::string& current) {
    for (UninstallEntry& entry : rows) {
        entry.imageIndex = placeholderIcon_;
        rows_.push_back(std::move(entry));
    }
    if (static_cast<size_t>(ListView_GetItemCount(list_)) != rows_.size()) {
        ListView_SetItemCountEx(list_, static_cast<int>(rows_.size()),
                                LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    }
    if (!current.empty())
        status_.SetText(1, host_.Texts().Caption(names::kLangLoadingData) + " " + current);
}

void ProgramListPage::ScanEnded() {
    scanJob_.reset();
    status_.SetText(1, "");
    ArrangeScannedRows(rows_, sortDirection_, locale_);
    KeepFullCopy();
    // Fitted once the rows are final, before they show: the list appears at its widths.
    FitNameColumns();
    ShowRows();
    host_.ScanRunning(false);
    EnableWindow(search_, TRUE);
    status_.SetText(
        0, host_.Texts().Caption(names::kLangElements) + " " + std::to_string(rows_.size()));
    // A text that reached the search box meanwhile filters the new rows, as it would have
    // after the scan.
    if (GetWindowTextLengthW(search_) > 0)
        ApplyFilter();
    // The count and the rows are there; icons and icon sources follow as they are found.
    StartIcons();
    if (!rows_.empty()) {
        // The entry selected before the refresh, where it is still listed; else the first.
        int selected = 0;
        for (size_t i = 0; i < rows_.size() && !keptSelection_.empty(); ++i) {
            if (DuplicateKey(rows_[i]) == keptSelection_) {
                selected = static_cast<int>(i);
                break;
            }
        }
        keptSelection_.clear();
        ListView_EnsureVisible(list_, selected, FALSE);
        ListView_SetItemState(list_, selected, LVIS_SELECTED | LVIS_FOCUSED,
                              LVIS_SELECTED | LVIS_FOCUSED);
        // A modal window that opened meanwhile (the update question, say) keeps the focus.
        if (IsWindowEnabled(host_.Window()))
            SetFocus(list_);
    }
    host_.ScanFinished();
}

void ProgramListPage::FitNameColumns() {
    // The list fits a column by measuring every row's text, which takes a long list a good
    // part of a second. The widest text is one of the longest, so the list measures only the
    // rows whose caption or publisher is among the longest, with drawing held meanwhile.
    constexpr size_t kMeasured = 32;
    std::vector<UninstallEntry> sample;
    for (const int column : {0, 1}) {
        const auto length = [column](const UninstallEntry& row) {
            return Utf8ToUtf16(column == 0 ? row.caption : row.columns[kColPublisher]).size();
        };
        std::vector<const UninstallEntry*> longest;
        for (const UninstallEntry& row : rows_)
            longest.push_back(&row);
        const size_t count = std::min(kMeasured, longest.size());
        std::partial_sort(longest.begin(), longest.begin() + static_cast<std::ptrdiff_t>(count),
                          longest.end(),
                          [&](const auto* a, const auto* b) { return length(*a) > length(*b); });
        for (size_t i = 0; i < count; ++i)
            sample.push_back(*longest[i]);
    }
    filling_ = true;
    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    std::swap(rows_, sample);
    ListView_SetItemCountEx(list_, static_cast<int>(rows_.size()),
                            LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    for (int column = 0; column < 2; ++column) {
        ListView_SetColumnWidth(list_, column, LVSCW_AUTOSIZE_USEHEADER);
        const int least = ScaleForDpi(200, host_.Dpi());
        if (ListView_GetColumnWidth(list_, column) < least)
            ListView_SetColumnWidth(list_, column, least);
    }
    std::swap(rows_, sample);
    ListView_SetItemCountEx(list_, static_cast<int>(rows_.size()),
                            LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);
    filling_ = false;
}

void ProgramListPage::ShowRows(bool changed) {
    filling_ = true;
    list_.ClearSelection();
    // A new count costs the list a layout pass: the same count only needs drawing anew, and
    // the same rows not even that (the list redraws a row whose selection it cleared).
    if (static_cast<size_t>(ListView_GetItemCount(list_)) != rows_.size())
        ListView_SetItemCountEx(list_, static_cast<int>(rows_.size()), 0);
    if (changed)
        InvalidateRect(list_, nullptr, TRUE);
    filling_ = false;
}

void ProgramListPage::KeepFullCopy() {
    allRows_ = rows_;
    allRowsDirection_ = sortDirection_;
    searchTexts_ = SearchTexts(allRows_, LowerCase);
}

void ProgramListPage::ListViewUninstallColumnClick(int column) {
    if (scanJob_ || column >= kVisibleListColumns)
        return;
    // One direction for every column: each click flips it, whichever header was clicked.
    sortDirection_ = -sortDirection_;
    const int selected = SelectedRow();
    const std::string selectedKey = selected >= 0 ? DuplicateKey(rows_[selected]) : "";
    SortByColumn(rows_, column, sortDirection_, locale_);
    ShowRows();
    for (size_t i = 0; i < rows_.size() && !selectedKey.empty(); ++i) {
        if (DuplicateKey(rows_[i]) == selectedKey) {
            filling_ = true;
            ListView_SetItemState(list_, static_cast<int>(i), LVIS_SELECTED | LVIS_FOCUSED,
                                  LVIS_SELECTED | LVIS_FOCUSED);
            filling_ = false;
            break;
        }
    }
}

void ProgramListPage::EditSearchUninstallChange() {
    if (filling_ || scanJob_)
        return;
    ApplyFilter();
    SetFocus(search_);
}

void ProgramListPage::SetBrokenOnly(bool brokenOnly) {
    brokenOnly_ = brokenOnly;
    if (!scanJob_)
        ApplyFilter();
}

void ProgramListPage::ApplyFilter() {
    // The filter works on the copy in memory, so one pass is quick and never nests.
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(search_)) + 1, L'\0');
    text.resize(GetWindowTextW(search_, text.data(), static_cast<int>(text.size())));
    const std::u16string needle = LowerCase(std::u16string(text.begin(), text.end()));
    std::vector<size_t> matches = MatchingRows(searchTexts_, needle);
    if (brokenOnly_) {
        std::erase_if(matches, [this](size_t index) {
            return index >= allRows_.size() || !allRows_[index].uninstallerMissing;
        });
    }
    // A key that leaves the same rows (most keys of a name being typed) copies nothing.
    const bool same = sortDirection_ == allRowsDirection_ && matches.size() == rows_.size() &&
                      std::equal(matches.begin(), matches.end(), rows_.begin(),
                                 [this](size_t index, const UninstallEntry& row) {
                                     return index < allRows_.size() && allRows_[index].id == row.id;
                                 });
    if (!same) {
        rows_.clear();
        rows_.reserve(matches.size());
        for (const size_t index : matches)
            rows_.push_back(allRows_[index]);
        // The copy is sorted by name already; only the other direction needs a sort.
        if (sortDirection_ != allRowsDirection_)
            SortByName(rows_, sortDirection_, locale_);
    }
    ShowRows(!same);
    status_.SetText(
        0, host_.Texts().Caption(names::kLangElements) + " " + std::to_string(rows_.size()));
}

int ProgramListPage::SelectedRow() const {
    // With several rows selected, the one with the focus is the one the details show.
    const int focused = ListView_GetNextItem(list_, -1, LVNI_FOCUSED);
    if (focused >= 0 && ListView_GetItemState(list_, focused, LVIS_SELECTED) != 0)
        return focused;
    return list_.Selected();
}

std::vector<UninstallEntry> ProgramListPage::SelectedEntries() const {
    std::vector<UninstallEntry> entries;
    for (int row = ListView_GetNextItem(list_, -1, LVNI_SELECTED);
         row >= 0 && static_cast<size_t>(row) < rows_.size();
         row = ListView_GetNextItem(list_, row, LVNI_SELECTED)) {
        entries.push_back(rows_[row]);
    }
    return entries;
}

void ProgramListPage::RefreshKeepingSelection() {
    const int selected = SelectedRow();
    keptSelection_ = selected >= 0 ? DuplicateKey(rows_[selected]) : std::string();
    StartScan();
}

void ProgramListPage::ListViewUninstallSelectItem() {
    const int selected = SelectedRow();
    if (selected < 0 || static_cast<size_t>(selected) >= rows_.size())
        return;
    sizeJob_.reset();  // the last selection's folder is of no interest any more
    SetWindowTextW(console_, L"");
    detailsText_.clear();
    if (!iconJob_)
        status_.SetText(1, "");
    const UninstallEntry& row = rows_[selected];
    ShowEntryKey();

    const std::string& location = row.columns[kColInstallLocation];
    const std::string system = folders_.GetSpecialFolder(kCsidlSystem);
    const std::string windows = folders_.GetSpecialFolder(kCsidlWindows);
    for (const std::string& skip :
         {system, windows, system + "\\", windows + "\\", AsciiLower(system), AsciiLower(windows),
          AsciiLower(system + "\\"), AsciiLower(windows + "\\")}) {
        if (location.empty() || location == skip)
            return;
    }
    const std::string path = ReplaceAll(AsciiLower(location), "%programfiles%",
                                        AsciiLower(folders_.GetSpecialFolder(kCsidlProgramFiles)));
    const bool webSite = IsWebAddress(row.columns[kColUrlInfoAbout]);
    sizeJob_ = std::make_unique<Job>(
        GuiThread::To(host_.Window()), [this, path, webSite](JobContext& job) {
            const auto size = GetFolderSize(path, [&job] { return !job.Stopping(); });
            if (size)
                job.Post([this, size = *size, webSite] { FolderSizeArrived(size, webSite); });
        });
}

void ProgramListPage::FolderSizeArrived(int64_t size, bool webSite) {
    detailsText_ = host_.Texts().Caption(names::kLangSize) + " " + FormatByteSize(size);
    if (!iconJob_)
        status_.SetText(1, detailsText_);
    webSiteVisible_ = webSite;
}

void ProgramListPage::ShowEntryKey() {
    const int selected = SelectedRow();
    if (selected < 0 || static_cast<size_t>(selected) >= rows_.size())
        return;
    const UninstallEntry& row = rows_[selected];
    // The same text a deletion saves: the entry's key and, when the row stands for both, its
    // twin in the other view.
    const EntryExport text =
        ExportEntry(registry_, row.caption, row.columns[kColRootName], row.columns[kColKeyPath]);
    SetWindowTextW(console_, Widen(JoinExportLines(text.lines)).c_str());
}

void ProgramListPage::StartIcons() {
    pendingIcons_.clear();
    iconsDone_ = false;
    if (allRows_.empty())
        return;
    IconJob::Handlers handlers;
    handlers.uninstallerMissing = [](const std::string& command, const FileSystem& files,
                                     const SpecialFolders& folders) {
        return UninstallerIsMissing(command, files, folders);
    };
    handlers.texts = [this](std::vector<IconRowTexts>& texts) { IconTextsArrived(texts); };
    handlers.icons = [this](std::vector<FileIcon>& icons) { IconsArrived(icons); };
    handlers.progress = [this](IconProgress progress) { ShowIconProgress(progress); };
    handlers.finished = [this] {
        iconsDone_ = true;
        PlaceIcons();
    };
    iconJob_ = std::make_unique<IconJob>(host_.Window(), allRows_, std::move(handlers));
    lastProgress_ = 0;
    status_.SetText(1, host_.Texts().Caption(names::kLangLoadingData) + " 0%");
}

void ProgramListPage::IconTextsArrived(std::vector<IconRowTexts>& texts) {
    for (IconRowTexts& text : texts) {
        if (text.id >= allRows_.size())
            continue;
        UninstallEntry& row = allRows_[text.id];
        row.columns[kColIconSource] = std::move(text.iconSource);
        row.columns[kColInstallLocation] = std::move(text.installLocation);
        row.uninstallerMissing = text.uninstallerMissing;
    }
    for (UninstallEntry& row : rows_) {
        if (row.id < allRows_.size()) {
            row.columns[kColIconSource] = allRows_[row.id].columns[kColIconSource];
            row.columns[kColInstallLocation] = allRows_[row.id].columns[kColInstallLocation];
            row.uninstallerMissing = allRows_[row.id].uninstallerMissing;
        }
    }
    if (brokenOnly_)
        ApplyFilter();
    InvalidateRect(list_, nullptr, FALSE);
}

void ProgramListPage::IconsArrived(std::vector<FileIcon>& icons) {
    const bool waiting = !pendingIcons_.empty();
    for (FileIcon& icon : icons)
        pendingIcons_.push_back(std::move(icon));
    // With icons still waiting, a turn of the message loop is already asked for.
    if (!waiting)
        PlaceIcons();
}

void ProgramListPage::ShowIconProgress(IconProgress progress) {
    const ULONGLONG now = GetTickCount64();
    if (progress.total == 0 || now - lastProgress_ < kProgressIntervalMs)
        return;
    lastProgress_ = now;
    const size_t percent = std::min<size_t>(99, progress.done * 100 / progress.total);
    status_.SetText(
        1, host_.Texts().Caption(names::kLangLoadingData) + " " + std::to_string(percent) + "%");
}

void ProgramListPage::PlaceIcons() {
    const ULONGLONG start = GetTickCount64();
    bool placed = false;
    while (!pendingIcons_.empty() && GetTickCount64() - start < kIconSliceMs) {
        const FileIcon icon = std::move(pendingIcons_.front());
        pendingIcons_.pop_front();
        std::optional<int> index = AddIcon(icon);
        if (icon.kind == IconFileKind::Refused) {
            index = DefaultProgramIconIndex();
        } else if (!index) {
            // No icon of the file's own: the shell's, or the file's when the shell has only
            // its generic one.
            index = ShellIconIndex(icon.source);
            if (index == 0 && icon.kind != IconFileKind::OtherFile) {
                if (const auto own = AddIcon(ExtractFileIcon(icon.source, true)))
                    index = own;
            }
        }
        if (!index)
            continue;
        placed = true;
        for (const uint32_t id : icon.ids) {
            if (id < allRows_.size())
                allRows_[id].imageIndex = *index;
        }
    }
    iconsUndrawn_ = iconsUndrawn_ || placed;
    const ULONGLONG now = GetTickCount64();
    if (iconsUndrawn_ && (pendingIcons_.empty() || now - lastIconDraw_ >= kIconDrawIntervalMs)) {
        for (UninstallEntry& row : rows_) {
            if (row.id < allRows_.size())
                row.imageIndex = allRows_[row.id].imageIndex;
        }
        InvalidateRect(list_, nullptr, FALSE);
        iconsUndrawn_ = false;
        lastIconDraw_ = now;
    }
    if (!pendingIcons_.empty()) {
        const IconJob* job = iconJob_.get();
        GuiThread::Post(host_.Window(), [this, job] {
            if (iconJob_.get() == job && job != nullptr)
                PlaceIcons();
        });
    } else if (iconsDone_) {
        iconJob_.reset();
        iconsDone_ = false;
        status_.SetText(1, detailsText_);
    }
}

namespace {

// Adds a picture to an image list: its bitmaps as they are when they fit the list's cells,
// else as an icon the list scales. -1 when the list took nothing.
int AddPicture(HIMAGELIST list, const IconPicture& picture) {
    int width = 0;
    int height = 0;
    ImageList_GetIconSize(list, &width, &height);
    if (picture.color && picture.size.cx == width && picture.size.cy == height)
        return ImageList_Add(list, picture.color.Get(), picture.mask.Get());
    const OwnedIcon icon = picture.ToIcon();
    return icon ? ImageList_AddIcon(list, icon.Get()) : -1;
}

}  // namespace

HIMAGELIST ProgramListPage::ImageList(bool large) {
    HIMAGELIST& list = imageLists_[large ? 1 : 0];
    if (list == nullptr)
        list = SystemImageList(large);
    return list;
}

std::optional<int> ProgramListPage::AddIcon(const FileIcon& icon) {
    if (!icon.small && !icon.large)
        return std::nullopt;
    if (icon.picture != 0) {
        if (const auto known = iconSlots_.find(icon.picture); known != iconSlots_.end())
            return known->second;
    }
    const HIMAGELIST small = ImageList(false);
    const HIMAGELIST large = ImageList(true);
    if (small == nullptr || large == nullptr)
        return std::nullopt;
    // Added to both lists, so that a switch of icon size keeps every row's index.
    const bool inStep = ImageList_GetImageCount(small) == ImageList_GetImageCount(large);
    const int index = AddPicture(small, icon.small ? icon.small : icon.large);
    if (index < 0)
        return std::nullopt;
    const int other = AddPicture(large, icon.large ? icon.large : icon.small);
    if (!inStep || other != index)
        iconListsInStep_ = false;
    if (icon.picture != 0)
        iconSlots_.emplace(icon.picture, index);
    return index;
}

namespace {

// Both of the list's image lists become the one system list of the chosen size, so report
// view shows that size.
void SetListViewIconSize(HWND list, bool large) {
    if (list == nullptr)
        return;
    const HIMAGELIST images = SystemImageList(large);
    if (images == nullptr)
        return;
    ListView_SetImageList(list, images, LVSIL_NORMAL);
    ListView_SetImageList(list, images, LVSIL_SMALL);
}

}  // namespace

void ProgramListPage::SetIconSize(bool large) {
    SetListViewIconSize(list_, large);
    // The icons the program added have the same index in both lists; should the lists ever
    // have gone out of step, the icons are found again for the new size.
    if (!iconListsInStep_ && !allRows_.empty() && !scanJob_) {
        iconListsInStep_ = true;
        iconSlots_.clear();
        StartIcons();
    }
    InvalidateRect(list_, nullptr, TRUE);
}

}  // namespace corvandel
