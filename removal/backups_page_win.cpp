#include "removal/backups_page_win.h"

#include <shellapi.h>

#include "foundation/folder_security_win.h"
#include "foundation/handle_win.h"
#include "foundation/platform_win.h"
#include "foundation/win_text.h"
#include "inventory/presentation.h"
#include "removal/removal_rules.h"

namespace corvandel {

BackupsPage::BackupsPage(PageHost& host, ListView& list) : host_(host), list_(list) {}

void BackupsPage::SetFolder(std::string backupFolder) {
    folder_ = std::move(backupFolder);
}

void BackupsPage::Update() {
    host_.EnablePanel(false);
    ListBackups(folder_);
    host_.EnablePanel(true);
}

void BackupsPage::AddRow(const std::string& caption, const std::string& path, int64_t size,
                         const FILETIME& written, LPARAM param) {
    wchar_t separator[8] = L":";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, separator, 8);
    SHFILEINFOW info{};
    SHGetFileInfoW(Widen(path).c_str(), 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_TYPENAME);
    FILETIME local{};
    SYSTEMTIME time{};
    DateTime date;
    if (FileTimeToLocalFileTime(&written, &local) && FileTimeToSystemTime(&local, &time))
        date = DateTime{time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, 0, 0};
    const std::wstring wide = Widen(caption);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = ListView_GetItemCount(list_);
    item.pszText = const_cast<wchar_t*>(wide.c_str());
    item.iImage = info.iIcon;
    item.lParam = param;
    const int row =
        static_cast<int>(SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    const std::wstring sizeText = Widen(FormatByteSize(size));
    const std::wstring dateText = Widen(BackupDateText(date, Narrow(separator)));
    ListView_SetItemText(list_, row, 1, const_cast<wchar_t*>(sizeText.c_str()));
    ListView_SetItemText(list_, row, 2, const_cast<wchar_t*>(dateText.c_str()));
    ListView_EnsureVisible(list_, row, FALSE);
}

bool BackupsPage::ListBackups(const std::string& folder) {
    const bool top = folder == folder_;
    if (top) {
        ListView_DeleteAllItems(list_);
        paths_.clear();
        otherRows_.clear();
    }
    bool listed = false;
    WIN32_FIND_DATAW found{};
    const OwnedFind search(FindFirstFileExW(Widen(folder + "*.reg").c_str(), FindExInfoBasic,
                                            &found, FindExSearchNameMatch, nullptr, 0));
    while (search) {
        const std::string name = Narrow(found.cFileName);
        const bool self = name == "." || name == "..";
        if (!self && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            listed = ListBackups(folder + name + "\\") || listed;
        } else if (!self) {
            const std::string path = folder + name;
            const int64_t size =
                (static_cast<int64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
            AddRow(name, path, size, found.ftLastWriteTime, static_cast<LPARAM>(paths_.size()));
            paths_.push_back(path);
            listed = true;
        }
        if (!FindNextFileW(search.Get(), &found))
            break;
    }
    if (top)
        ListOthers();
    return listed;
}

void BackupsPage::ListOthers() {
    if (others_.list) {
        // Rows of other backups carry their index as a negative number.
        for (OtherBackup& other : others_.list()) {
            const FILETIME written{static_cast<DWORD>(other.written),
                                   static_cast<DWORD>(other.written >> 32)};
            AddRow(other.caption, other.path, other.size, written,
                   -1 - static_cast<LPARAM>(otherRows_.size()));
            otherRows_.push_back(std::move(other));
        }
    }
    {
        for (int column = 0; column < 3; ++column) {
            ListView_SetColumnWidth(list_, column, LVSCW_AUTOSIZE_USEHEADER);
        }
        list_.KeepColumnLimits(3, host_.Dpi());
    }
}

const OtherBackup* BackupsPage::SelectedOther() const {
    const int selected = list_.Selected();
    if (selected < 0)
        return nullptr;
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = selected;
    ListView_GetItem(list_, &item);
    const LPARAM index = -1 - item.lParam;
    return index >= 0 && static_cast<size_t>(index) < otherRows_.size() ? &otherRows_[index]
                                                                        : nullptr;
}

void BackupsPage::Act(BackupAction action) {
    const OtherBackup* other = SelectedOther();
    if (other == nullptr || !others_.act)
        return;
    host_.EnablePanel(false);
    const bool relist = others_.act(*other, action);
    host_.EnablePanel(true);
    if (relist)
        ListBackups(folder_);
}

void BackupsPage::FindLeftovers() {
    Act(BackupAction::FindLeftovers);
}

void BackupsPage::Restore() {
    if (SelectedOther() != nullptr) {
        Act(BackupAction::Restore);
        return;
    }
    host_.EnablePanel(false);
    const int selected = list_.Selected();
    const bool trusted = MayTrustFolder(folder_) || (askUntrusted_ && askUntrusted_(folder_));
    if (trusted && selected >= 0 && static_cast<size_t>(selected) < paths_.size()) {
        const RestoreLaunch launch = PlanRestore(paths_[selected], ReadSystemView());
        ShellExecuteW(nullptr, nullptr, Widen(launch.file).c_str(),
                      Widen(launch.parameters).c_str(), nullptr,
                      launch.hidden ? SW_HIDE : SW_SHOWNORMAL);
    }
    host_.EnablePanel(true);
}

void BackupsPage::Delete() {
    if (SelectedOther() != nullptr) {
        Act(BackupAction::Delete);
        return;
    }
    host_.EnablePanel(false);
    const int selected = list_.Selected();
    if (selected >= 0 && static_cast<size_t>(selected) < paths_.size()) {
        DeleteFileW(Widen(paths_[selected]).c_str());
        ListBackups(folder_);
    }
    host_.EnablePanel(true);
}

void BackupsPage::DeleteAll() {
    host_.EnablePanel(false);
    // Rows are removed from the top; each row's path is found through its own index. The rows
    // of other backups, listed after the files, stay.
    while (ListView_GetItemCount(list_) > 0) {
        ListView_EnsureVisible(list_, 0, FALSE);
        LVITEMW item{};
        item.mask = LVIF_PARAM;
        ListView_GetItem(list_, &item);
        if (item.lParam < 0)
            break;
        if (static_cast<size_t>(item.lParam) < paths_.size()) {
            DeleteFileW(Widen(paths_[item.lParam]).c_str());
        }
        ListView_DeleteItem(list_, 0);
    }
    paths_.clear();
    host_.EnablePanel(true);
}

}  // namespace corvandel
