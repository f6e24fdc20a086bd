// The main window's part in the clean-up after uninstalls: the leftovers window it opens, and
// the backups page's rows of clean-ups and of records kept of removed programs.

#include <windows.h>

#include "app/leftover_records_win.h"
#include "app/main_window_win.h"
#include "foundation/error_text_win.h"
#include "foundation/files_win.h"
#include "foundation/handle_win.h"
#include "foundation/win_text.h"
#include "inventory/presentation.h"
#include "leftovers/leftovers_window_win.h"
#include "leftovers/quarantine_win.h"
#include "queue/queue_rules.h"
#include "ui/stored_names.h"

namespace corvandel {

namespace {

namespace names = stored::main_window;

enum RowKind { kCleanupRow = 1, kRecordRow = 2 };

// At most this many lines of what could not be put back are shown.
constexpr size_t kShownProblems = 12;

}  // namespace

void MainWindow::SetLeftoversWindow(LeftoversWindow* leftovers) {
    leftovers_ = leftovers;
    leftovers_->OnCleanedUp([this] { backupsPage_.Update(); });
}

void MainWindow::OfferCleanup(std::vector<std::string> recordFiles) {
    if (leftovers_ != nullptr && !recordFiles.empty())
        leftovers_->Open(std::move(recordFiles));
    backupsPage_.Update();
}

std::vector<OtherBackup> MainWindow::CleanupRows() {
    std::vector<OtherBackup> rows;
    if (RecordFolder().empty()) {
        // The data folder is refused: nothing in it is offered, and the page says why.
        SetWindowTextW(LabelQuarantineUninstall,
                       Widen(components_.Caption(names::kLangDataRefused) + " " +
                             ThisCopysDataFolder().refused)
                           .c_str());
        return rows;
    }
    uint64_t total = 0;
    const std::vector<KeptCleanup> cleanups = ListCleanups(QuarantineFolder());
    for (const KeptCleanup& cleanup : cleanups) {
        rows.push_back({components_.Caption(names::kLangCleanupRow) + " " + cleanup.list.programs,
                        cleanup.folder, static_cast<int64_t>(cleanup.bytes), cleanup.written,
                        kCleanupRow});
        total += cleanup.bytes;
    }
    SetWindowTextW(
        LabelQuarantineUninstall,
        Widen(components_.Caption(names::kLangQuarantine) + " " + std::to_string(cleanups.size()) +
              ", " + FormatByteSize(static_cast<int64_t>(total)) + " — " + QuarantineFolder())
            .c_str());
    WIN32_FIND_DATAW found{};
    const OwnedFind search(FindFirstFileExW(Widen(RecordFolder() + "*.record").c_str(),
                                            FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                            0));
    while (search) {
        const std::string path = RecordFolder() + Narrow(found.cFileName);
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            if (const auto record = ReadRecordFile(path)) {
                const uint64_t written =
                    (static_cast<uint64_t>(found.ftLastWriteTime.dwHighDateTime) << 32) |
                    found.ftLastWriteTime.dwLowDateTime;
                const int64_t size =
                    (static_cast<int64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
                rows.push_back(
                    {components_.Caption(names::kLangRecordRow) + " " + record->displayName, path,
                     size, written, kRecordRow});
            }
        }
        if (!FindNextFileW(search.Get(), &found))
            break;
    }
    return rows;
}

bool MainWindow::ActOnCleanupRow(const OtherBackup& row, BackupAction action) {
    switch (action) {
        case BackupAction::Restore: {
            if (row.kind != kCleanupRow || RecordFolder().empty())
                return false;
            const auto problems = RestoreCleanupWithRecords(row.path, RecordFolder(), registry_);
            if (!problems.empty()) {
                std::string text = components_.Caption(names::kLangNotRestored);
                for (size_t i = 0; i < problems.size() && i < kShownProblems; ++i)
                    text += "\r\n" + problems[i].item + " — " + SystemErrorText(problems[i].error);
                MessageBoxW(hwnd_, Widen(text).c_str(),
                            Widen(components_.Caption(names::kLangAttention)).c_str(),
                            MB_ICONWARNING);
            }
            return true;
        }
        case BackupAction::Delete: {
            const std::string question =
                components_.Caption(names::kLangDelete) + " [ " + row.caption + " ] ?";
            if (MessageBoxW(hwnd_, Widen(question).c_str(),
                            Widen(components_.Caption(names::kLangAttention)).c_str(),
                            MB_ICONQUESTION | MB_YESNO | MB_DEFBUTTON2) != IDYES) {
                return false;
            }
            // The files it held are the user's to lose only on this explicit request.
            if (row.kind == kCleanupRow)
                DeleteCleanup(row.path);
            else
                DeleteFileW(Widen(row.path).c_str());
            return true;
        }
        case BackupAction::FindLeftovers:
            if (row.kind == kRecordRow)
                FindLeftoversOfRecord(row.path);
            return false;
    }
    return false;
}

void MainWindow::EmptyQuarantine(int days) {
    if (RecordFolder().empty())
        return;
    const stored::ComponentName& item = days <= 30   ? names::kBackupsEmptyMonthMenu
                                        : days <= 90 ? names::kBackupsEmptyQuarterMenu
                                                     : names::kBackupsEmptyYearMenu;
    const std::string question =
        components_.Caption(names::kLangEmptyQuarantine) + "\r\n\r\n" + components_.Caption(item);
    if (MessageBoxW(hwnd_, Widen(question).c_str(),
                    Widen(components_.Caption(names::kLangAttention)).c_str(),
                    MB_ICONQUESTION | MB_YESNO | MB_DEFBUTTON2) != IDYES)
        return;
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    constexpr uint64_t kTicksPerDay = 24ull * 60 * 60 * 10000000;
    DeleteCleanupsBefore(QuarantineFolder(), ticks - static_cast<uint64_t>(days) * kTicksPerDay);
    backupsPage_.Update();
}

void MainWindow::FindLeftoversOfRecord(const std::string& recordFile) {
    // A program that is still installed and whole owns its folder: nothing of it is a
    // leftover yet.
    if (const auto record = ReadRecordFile(recordFile)) {
        const auto facts = ReadEntryFacts(registry_, record->rootName, record->keyPath);
        if (facts && !UninstallerIsMissing(facts->uninstallString, files_, folders_)) {
            MessageBoxW(hwnd_, Widen(components_.Caption(names::kLangStillInstalled)).c_str(),
                        Widen(components_.Caption(names::kLangAttention)).c_str(),
                        MB_ICONINFORMATION);
            return;
        }
    }
    if (leftovers_ != nullptr)
        leftovers_->Open({recordFile});
}

}  // namespace corvandel
