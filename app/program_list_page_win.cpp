// The program list page of the main window: the scan that fills it, sorting, the recent-entry
// marking, the search filter, the selection details and the icons.

#include "app/program_list_page_win.h"

#include <shellapi.h>

#include <optional>
#include <unordered_map>

#include "foundation/handle_win.h"
#include "foundation/text.h"
#include "foundation/win_text.h"
#include "inventory/folder_size_win.h"
#include "inventory/install_date.h"
#include "inventory/presentation.h"
#include "inventory/scan.h"
#include "inventory/sorting.h"
#include "removal/registry_export.h"
#include "ui/commands.h"
#include "ui/control_ids.h"

namespace corvandel {

int SortDirection = 1;

namespace {

constexpr ULONGLONG kPumpIntervalMs = 100;
constexpr COLORREF kRecentColor = RGB(0, 128, 0);

// The system image list index of the program's own icon: every row shows it until its own
// icon is known.
// The icon of a program file, added to an image list in the list's size. Used where the
// shell answers with its generic icon (index 0) although the file has icons of its own, as
// Wine's shell does for program files.
std::optional<int> AddFileIcon(HIMAGELIST images, const std::string& path) {
    HICON largeIcon = nullptr;
    HICON smallIcon = nullptr;
    if (ExtractIconExW(Widen(path).c_str(), 0, &largeIcon, &smallIcon, 1) == 0)
        return std::nullopt;
    const OwnedIcon large(largeIcon);
    const OwnedIcon small(smallIcon);
    int width = 0;
    int height = 0;
    ImageList_GetIconSize(images, &width, &height);
    const HICON icon =
        width > 16 ? (large ? large.Get() : small.Get()) : (small ? small.Get() : large.Get());
    const int index = icon ? ImageList_AddIcon(images, icon) : -1;
    if (index < 0)
        return std::nullopt;
    return index;
}

// The system image list index of a file's icon; the shell's answer, or the file's own icon
// added to the list when the shell has only its generic one.
std::optional<int> ShellIconIndex(HIMAGELIST images, const std::string& path, bool* added) {
    SHFILEINFOW info{};
    // The index alone: no icon handle is made and destroyed again for every file.
    if (!SHGetFileInfoW(Widen(path).c_str(), 0, &info, sizeof info,
                        SHGFI_SYSICONINDEX | SHGFI_SMALLICON)) {
        return std::nullopt;
    }
    if (info.iIcon == 0 && images != nullptr) {
        if (const auto own = AddFileIcon(images, path)) {
            if (added)
                *added = true;
            return own;
        }
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

std::string Extension(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t separator = path.find_last_of("\\:");
    if (dot == std::string::npos || (separator != std::string::npos && separator > dot)) {
        return std::string();
    }
    return path.substr(dot);
}

// The first icon of a library, added to the list's image list; nothing when the file has
// none (ExtractIconW returns 1 or less for that).
std::optional<int> AddLibraryIcon(HIMAGELIST images, const std::string& path) {
    if (Extension(path) != ".dll")
        return std::nullopt;
    const HICON icon = ExtractIconW(GetModuleHandleW(nullptr), Widen(path).c_str(), 0);
    if (reinterpret_cast<UINT_PTR>(icon) <= 32)
        return std::nullopt;
    const OwnedIcon owned(icon);
    return ImageList_AddIcon(images, owned.Get());
}

}  // namespace

ProgramListPage::ProgramListPage(ProgramListHost& host, const ProgramListControls& controls,
                                 Win32RegistryApi& registry, const Win32FileSystem& files,
                                 const Win32SpecialFolders& folders, const Win32Locale& locale)
    : host_(host),
      list_(controls.list),
      copy_(controls.copy),
      console_(controls.console),
      search_(controls.search),
      status_(controls.status),
      registry_(registry),
      files_(files),
      folders_(folders),
      locale_(locale) {}

void ProgramListPage::Connect() {
    // Both lists show rows from memory: the visible one the filtered rows, the hidden copy
    // every row of the last scan.
    auto rowsOf = [](const std::vector<UninstallEntry>& rows) {
        return ListView::Rows{[&rows] { return rows.size(); },
                              [&rows](size_t row, int column) {
                                  const UninstallEntry& entry = rows[row];
                                  return column == 0                   ? entry.caption
                                         : column <= kEntryColumnCount ? entry.columns[column - 1]
                                                                       : std::string();
                              },
                              [&rows](size_t row) { return rows[row].imageIndex; }};
    };
    list_.SetRows(rowsOf(rows_));
    copy_.SetRows(rowsOf(allRows_));
    // Entries written in the last three days are drawn in bold green; a date that no longer
    // parses (the date format changed) is drawn normally.
    list_.SetRowLook([this](size_t row) -> std::optional<ListView::RowLook> {
        if (row >= rows_.size() || !IsRecentEntry(rows_[row].columns[kColInstallDate],
                                                  locale_.ShortDateFormat(), locale_.Now())) {
            return std::nullopt;
        }
        return ListView::RowLook{kRecentColor, host_.BoldFont()};
    });
}

std::optional<LRESULT> ProgramListPage::HandleNotify(NMHDR& header) {
    // Row texts, images and looks are the lists' own business.
    for (ListView* list : {&copy_, &list_}) {
        if (const auto result = list->Reflect(header))
            return result;
    }
    if (header.hwndFrom != list_)
        return std::nullopt;
    switch (header.code) {
        case LVN_COLUMNCLICK:
            ListViewUninstallColumnClick(reinterpret_cast<NMLISTVIEW&>(header).iSubItem);
            return 0;
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
    return std::nullopt;
}

// Rows appear in the list while the scan runs: the list shows the rows read so far whenever
// the window handles its messages, a few times a second.
class ProgramListPage::ScanToList : public ScanSink {
  public:
    explicit ScanToList(ProgramListPage& form) : form_(form), lastPump_(GetTickCount64()) {}

    void EntryStarted(const std::string& displayName) override { current_ = displayName; }

    void EntryRead(UninstallEntry entry) override {
        entry.imageIndex = form_.placeholderIcon_;
        form_.rows_.push_back(std::move(entry));
    }

    bool KeepGoing() override {
        const ULONGLONG now = GetTickCount64();
        if (now - lastPump_ < kPumpIntervalMs)
            return !form_.host_.Closing();
        lastPump_ = now;
        Flush();
        return form_.host_.ProcessMessages();
    }

    void Flush() {
        if (shown_ != form_.rows_.size()) {
            shown_ = form_.rows_.size();
            ListView_SetItemCountEx(form_.list_, static_cast<int>(shown_),
                                    LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
        }
        if (!current_.empty()) {
            form_.status_.SetText(1,
                                  form_.host_.Texts().Caption("LangLoadingData") + " " + current_);
        }
    }

  private:
    ProgramListPage& form_;
    ULONGLONG lastPump_;
    size_t shown_ = 0;
    std::string current_;
};

void ProgramListPage::globLoadUninstall() {
    // Messages are handled while the list fills; a second scan never starts inside one.
    if (scanning_)
        return;
    scanning_ = true;
    host_.ScanRunning(true);
    LoadFromReg();
    RemoveDuplicates(rows_);
    addListViewDub();
    ShowRows();
    host_.ScanRunning(false);
    EnableWindow(search_, TRUE);
    status_.SetText(0, host_.Texts().Caption("LangElements") + " " + std::to_string(rows_.size()));
    scanning_ = false;

    if (!rows_.empty()) {
        ListView_EnsureVisible(list_, 0, FALSE);
        ListView_SetItemState(list_, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        SetFocus(list_);
        host_.ProcessMessages();
    }
    for (int column = 0; column < 2; ++column) {
        ListView_SetColumnWidth(list_, column, LVSCW_AUTOSIZE_USEHEADER);
        if (ListView_GetColumnWidth(list_, column) < Scale(200)) {
            ListView_SetColumnWidth(list_, column, Scale(200));
        }
    }
    host_.ScanFinished();
}

void ProgramListPage::LoadFromReg() {
    filling_ = true;
    SetWindowTextW(search_, L"");
    EnableWindow(search_, FALSE);
    filling_ = false;
    rows_.clear();
    ListView_SetItemCountEx(list_, 0, 0);
    status_.SetText(0, "");
    status_.SetText(1, "");
    // Every row shows the program's own icon until its own icon is known.
    placeholderIcon_ =
        ShellIconIndex(ListView_GetImageList(list_, LVSIL_SMALL), ExecutablePath(), nullptr)
            .value_or(0);

    ScanToList sink(*this);
    corvandel::LoadFromReg(ScanEnvironment{registry_, files_, folders_, locale_}, sink);
    sink.Flush();

    LoadProductIconsAndFolders();
    LoadIconsForItems();
    status_.SetText(1, "");
    SortByName(rows_, SortDirection, locale_);
}

void ProgramListPage::ShowRows() {
    filling_ = true;
    ListView_SetItemState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemCountEx(list_, static_cast<int>(rows_.size()), 0);
    InvalidateRect(list_, nullptr, TRUE);
    filling_ = false;
}

void ProgramListPage::addListViewDub() {
    allRows_ = rows_;
    ListView_SetItemCountEx(copy_, static_cast<int>(allRows_.size()), 0);
}

void ProgramListPage::ListViewUninstallColumnClick(int column) {
    if (scanning_ || column >= kVisibleListColumns)
        return;
    // One direction for every column: each click flips it, whichever header was clicked.
    SortDirection = -SortDirection;
    const int selected = SelectedRow();
    const std::string selectedKey = selected >= 0 ? DuplicateKey(rows_[selected]) : "";
    SortByColumn(rows_, column, SortDirection, locale_);
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
    if (filling_ || scanning_)
        return;
    // The filter works on the copy in memory, so one pass is quick and never nests.
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(search_)) + 1, L'\0');
    text.resize(GetWindowTextW(search_, text.data(), static_cast<int>(text.size())));
    const std::u16string needle = LowerCase(std::u16string(text.begin(), text.end()));
    rows_ = FilterRows(allRows_, needle, LowerCase);
    SortByName(rows_, SortDirection, locale_);
    ShowRows();
    SetFocus(search_);
    status_.SetText(0, host_.Texts().Caption("LangElements") + " " + std::to_string(rows_.size()));
}

int ProgramListPage::SelectedRow() const {
    return list_.Selected();
}

void ProgramListPage::ListViewUninstallSelectItem() {
    const int selected = SelectedRow();
    if (selected < 0 || static_cast<size_t>(selected) >= rows_.size())
        return;
    const unsigned generation = ++selectionGeneration_;
    SetWindowTextW(console_, L"");
    status_.SetText(1, "");
    const UninstallEntry row = rows_[selected];
    key();
    host_.ProcessMessages();
    if (generation != selectionGeneration_)
        return;

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
    // A new selection, or closing the window, abandons this walk.
    const auto size = GetFolderSize(path, [this, generation] {
        return host_.ProcessMessages() && generation == selectionGeneration_;
    });
    if (!size || generation != selectionGeneration_)
        return;
    status_.SetText(1, host_.Texts().Caption("LangSize") + " " + FormatByteSize(*size));
    webSiteVisible_ = !row.columns[kColUrlInfoAbout].empty();
}

void ProgramListPage::key() {
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

void ProgramListPage::LoadProductIconsAndFolders() {
    LoadProductIcons(registry_, rows_, folders_.GetSpecialFolder(kCsidlAppData));
    FillEmptyFolders(rows_);
}

void ProgramListPage::LoadIconsForItems() {
    const auto images = ListView_GetImageList(list_, LVSIL_SMALL);
    if (images == nullptr)
        return;
    // Many entries share one icon file (every installer-database entry names msiexec.exe):
    // each file is looked up once a pass, so the shared system list does not fill up.
    std::unordered_map<std::string, int> known;
    for (UninstallEntry& row : rows_) {
        const std::string& path = row.columns[kColIconSource];
        if (path.empty())
            continue;
        if (const auto it = known.find(path); it != known.end()) {
            row.imageIndex = it->second;
        } else if (const auto index = AddLibraryIcon(images, path)) {
            row.imageIndex = *index;
        } else {
            bool added = false;
            if (const auto index = ShellIconIndex(images, path, &added))
                row.imageIndex = *index;
            if (added)
                addedIcons_.insert(path);
        }
        known.emplace(path, row.imageIndex);
        host_.ProcessMessages();
    }
}

// After a switch of icon size only the icons the program added itself are added again; the
// shell's indices are the same in both system lists. The program's own placeholder icon is
// one of those.
void ProgramListPage::LoadIconsDLL() {
    const auto images = ListView_GetImageList(list_, LVSIL_SMALL);
    if (images == nullptr)
        return;
    std::unordered_map<std::string, std::optional<int>> known;
    for (UninstallEntry& row : rows_) {
        const std::string& path = row.columns[kColIconSource];
        if (path.empty())
            continue;
        auto found = known.find(path);
        if (found == known.end()) {
            auto index = AddLibraryIcon(images, path);
            if (!index && addedIcons_.count(path))
                index = AddFileIcon(images, path);
            found = known.emplace(path, index).first;
            host_.ProcessMessages();
        }
        if (found->second)
            row.imageIndex = *found->second;
    }
    // The search works from the full copy: it shows the same icons.
    if (const auto own = ShellIconIndex(images, ExecutablePath(), nullptr)) {
        for (UninstallEntry& row : rows_) {
            if (row.imageIndex == placeholderIcon_ && row.columns[kColIconSource].empty()) {
                row.imageIndex = *own;
            }
        }
        placeholderIcon_ = *own;
    }
    std::unordered_map<std::string, int> indices;
    for (const UninstallEntry& row : rows_)
        indices[DuplicateKey(row)] = row.imageIndex;
    for (UninstallEntry& row : allRows_) {
        if (const auto it = indices.find(DuplicateKey(row)); it != indices.end()) {
            row.imageIndex = it->second;
        }
    }
    InvalidateRect(list_, nullptr, TRUE);
}

namespace {

// Both of the list's image lists become the one system list of the chosen size, so report
// view shows that size.
void SetListViewIconSize(HWND list, bool large) {
    if (list == nullptr)
        return;
    SHFILEINFOW info{};
    const auto images = reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(
        L"", 0, &info, sizeof info, SHGFI_SYSICONINDEX | (large ? 0 : SHGFI_SMALLICON)));
    if (images == nullptr)
        return;
    ListView_SetImageList(list, images, LVSIL_NORMAL);
    ListView_SetImageList(list, images, LVSIL_SMALL);
}

}  // namespace

void ProgramListPage::SetIconSize(bool large) {
    SetListViewIconSize(list_, large);
    LoadIconsDLL();
}

}  // namespace corvandel
