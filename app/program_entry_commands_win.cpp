// The program list's commands on the selected entry: running the uninstaller, deleting the
// entry after its backup, the shell actions, and the HTML report of the list.

#include "app/program_list_page_win.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <stdexcept>

#include "app/leftover_records_win.h"
#include "app/list_columns_win.h"
#include "foundation/error_text_win.h"
#include "foundation/gui_thread_win.h"
#include "foundation/handle_win.h"
#include "foundation/platform_win.h"
#include "foundation/registry_win.h"
#include "foundation/session_shell_win.h"
#include "foundation/text.h"
#include "foundation/win_text.h"
#include "inventory/presentation.h"
#include "queue/process_tree_win.h"
#include "queue/queue_rules.h"
#include "removal/registry_editor_win.h"
#include "removal/registry_export.h"
#include "removal/removal_rules.h"
#include "settings/settings_win.h"
#include "ui/control_ids.h"
#include "ui/stored_names.h"

namespace corvandel {

namespace {

namespace names = stored::main_window;

bool PathExists(const std::string& path) {
    return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// "[key]" or "[key]" "value", and why it could not be read.
std::string ProblemText(const ExportProblem& problem) {
    std::string where = "[" + problem.keyText + "]";
    if (problem.inValue)
        where += " \"" + (problem.valueName.empty() ? std::string("@") : problem.valueName) + "\"";
    return where + "\n" + SystemErrorText(problem.error);
}

// Starts a program the entry's values name, without a shell and without waiting for it; the
// system's error when it does not start, else 0.
DWORD StartProgram(const ProcessLaunch& launch) {
    std::wstring commandLine = Widen(launch.commandLine);
    const std::wstring application = Widen(launch.application);
    const std::wstring folder = application.substr(0, application.find_last_of(L'\\') + 1);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
        return GetLastError();
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

}  // namespace

void ProgramListPage::RunUninstaller() {
    const int selected = SelectedRow();
    if (selected < 0)
        return;
    const UninstallEntry& row = rows_[selected];
    // One entry is a queue of one with the uninstaller's own windows: the same reading of its
    // command, the same start without a command interpreter, the same wait for everything it
    // starts, the same record and the same outcome as in a queue.
    std::erase_if(singleUninstalls_,
                  [](const std::unique_ptr<SingleUninstall>& run) { return run->finished; });
    auto run = std::make_unique<SingleUninstall>();
    SingleUninstall* current = run.get();
    current->caption = row.caption;
    UninstallQueue::Handlers handlers;
    handlers.beforeRun = [current](const QueueItem& item) {
        Win32RegistryApi registry;
        const Win32FileSystem files;
        const Win32SpecialFolders folders;
        std::string record = KeepRecord(registry, files, folders, item.rootName, item.keyPath);
        const std::lock_guard lock(current->recordMutex);
        current->record = std::move(record);
    };
    handlers.changed = [current](size_t, const QueueItemState& state) { current->state = state; };
    handlers.finished = [this, current] { SingleUninstallFinished(*current); };
    singleUninstalls_.push_back(std::move(run));
    current->queue = std::make_unique<UninstallQueue>(
        host_.Window(),
        std::vector<QueueItem>{{row.caption, row.columns[kColRootName], row.columns[kColKeyPath]}},
        QueueMode::Interactive, kUninstallTimeLimit, std::move(handlers));
}

void ProgramListPage::SingleUninstallFinished(SingleUninstall& run) {
    run.finished = true;
    const QueueItemState state = run.state;
    std::string record;
    {
        const std::lock_guard lock(run.recordMutex);
        record = run.record;
    }
    if (state.state == QueueState::Removed) {
        // What it left is looked for once it and whatever it started have ended.
        RefreshKeepingSelection();
        if (!record.empty())
            host_.OfferCleanup({record});
        return;
    }
    // An uninstaller that ran says what happened in its own windows; one that could not run
    // is said here, with the entry's name.
    std::string problem;
    if (state.state == QueueState::UninstallerMissing)
        problem = host_.Texts().Caption(names::kLangUninstallerMissing);
    else if (state.state == QueueState::Failed && state.startError != 0)
        problem = host_.Texts().Caption(names::kLangCannotStart) + ": " +
                  SystemErrorText(state.startError);
    else if (state.state == QueueState::Failed && state.reason == LaunchReason::NoCommand)
        problem = host_.Texts().Caption(names::kLangCannotStart);
    // Said in the status bar: the uninstaller may end long after the click, and a message box
    // then would take the keyboard from whatever the user does meanwhile.
    if (!problem.empty())
        status_.SetText(1, run.caption + ": " + problem);
}

bool ProgramListPage::SelectedIsBroken() const {
    const int selected = SelectedRow();
    return selected >= 0 && rows_[selected].uninstallerMissing;
}

void ProgramListPage::FindLeftoversOfSelected() {
    if (!SelectedIsBroken())
        return;
    const UninstallEntry& row = rows_[SelectedRow()];
    std::erase_if(recordJobs_, [](const std::unique_ptr<Job>& job) { return job->Returned(); });
    recordJobs_.push_back(std::make_unique<Job>(
        GuiThread::To(host_.Window()),
        [this, root = row.columns[kColRootName], path = row.columns[kColKeyPath]](JobContext& job) {
            Win32RegistryApi registry;
            const Win32FileSystem files;
            const Win32SpecialFolders folders;
            std::string record = KeepRecord(registry, files, folders, root, path);
            if (!record.empty())
                job.Post([this, record] { host_.OfferCleanup({record}); });
        }));
}

std::string ProgramListPage::ExportRegistry(const std::string& text) {
    const int selected = SelectedRow();
    // Never delete without a backup: an entry whose export failed is kept.
    if (selected < 0 || text.empty())
        throw std::runtime_error(host_.Texts().Caption(names::kLangNoBackup));
    const std::string folder = ExecutableFolder() + "backup\\";
    CreateDirectoryW(Widen(folder).c_str(), nullptr);
    // The display name is chosen by whoever wrote the entry: it never leaves the folder and
    // never replaces an earlier backup.
    const std::string path =
        FreeBackupPath(folder, SafeBackupFileName(rows_[selected].caption), PathExists);
    WriteNewFile(path, "\xFF\xFE" + Utf16Bytes(text));
    return path;
}

void ProgramListPage::DeleteKeyUninstallMenuClick() {
    const int selected = SelectedRow();
    if (selected < 0)
        return;
    const UninstallEntry entry = rows_[selected];
    const std::string question =
        host_.Texts().Caption(names::kLangDelete) + " [ " + entry.caption + " ] ?";
    if (MessageBoxW(host_.Window(), Widen(question).c_str(),
                    Widen(host_.Texts().Caption(names::kLangAttention)).c_str(),
                    MB_ICONQUESTION | MB_YESNO) != IDYES) {
        return;
    }
    const std::wstring errorTitle = Widen(host_.Texts().Caption(names::kLangError));
    // Read again now: the backup holds the keys as they are at the moment of deletion, and a
    // key that cannot be read in full is not deleted at all.
    const EntryExport exported = ExportEntry(registry_, entry.caption, entry.columns[kColRootName],
                                             entry.columns[kColKeyPath]);
    if (exported.problem || exported.keys.empty()) {
        std::string message = host_.Texts().Caption(names::kLangNoBackup);
        if (exported.problem)
            message += "\n\n" + ProblemText(*exported.problem);
        MessageBoxW(host_.Window(), Widen(message).c_str(), errorTitle.c_str(), MB_ICONERROR);
        return;
    }
    const std::string backupText = JoinExportLines(exported.lines);
    SetWindowTextW(console_, Widen(backupText).c_str());
    try {
        ExportRegistry(backupText);
    } catch (const std::exception& e) {
        MessageBoxW(host_.Window(), Widen(e.what()).c_str(), errorTitle.c_str(), MB_ICONERROR);
        return;
    }
    // Only keys whose whole tree the written backup holds are deleted, each in the view it
    // was read from.
    for (const ExportedKey& key : exported.keys) {
        if (!BackupHoldsKey(backupText, key))
            continue;
        Registry registry(registry_, kKeyAllAccess | key.view);
        registry.SetRootKey(key.root);
        registry.DeleteKey(key.path);
    }
    StartScan();
}

std::optional<ProcessLaunch> ProgramListPage::EntryTool(EntryToolKind kind) const {
    const int selected = SelectedRow();
    if (selected < 0)
        return std::nullopt;
    const UninstallEntry& row = rows_[selected];
    const auto facts =
        ReadEntryFacts(registry_, row.columns[kColRootName], row.columns[kColKeyPath]);
    if (!facts)
        return std::nullopt;
    const std::string system = NativeSystemFolder();
    return kind == EntryToolKind::Repair ? PlanRepair(*facts, system)
                                         : PlanModify(*facts, files_, folders_, system);
}

void ProgramListPage::StartEntryTool(EntryToolKind kind) {
    const auto launch = EntryTool(kind);
    if (!launch)
        return;
    if (const DWORD error = StartProgram(*launch)) {
        const std::string text = host_.Texts().Caption(names::kLangCannotStart) + ": " +
                                 launch->commandLine + "\n" + SystemErrorText(error);
        MessageBoxW(host_.Window(), Widen(text).c_str(),
                    Widen(host_.Texts().Caption(names::kLangError)).c_str(), MB_ICONERROR);
    }
}

void ProgramListPage::OpenFolderUninstallMenuClick() {
    const int selected = SelectedRow();
    if (selected < 0)
        return;
    UninstallEntry& row = rows_[selected];
    const std::string key = DuplicateKey(row);
    const std::string folder = ReplaceAll(row.columns[kColInstallLocation], "\"", "");
    // The list shows the folder without its quotes from now on.
    for (UninstallEntry& copy : allRows_) {
        if (DuplicateKey(copy) == key)
            copy.columns[kColInstallLocation] = folder;
    }
    row.columns[kColInstallLocation] = folder;
    InvalidateRect(list_, nullptr, FALSE);
    ShellExecuteW(host_.Window(), nullptr, nullptr, L"", Widen(folder).c_str(), SW_SHOWMAXIMIZED);
}

void ProgramListPage::WebSiteUninstallMenuClick() {
    const int selected = SelectedRow();
    if (selected < 0)
        return;
    // Whoever wrote the entry chose this text: only a web address goes to the shell, and
    // never with this program's elevated token.
    const std::string& address = rows_[selected].columns[kColUrlInfoAbout];
    if (!IsWebAddress(address))
        return;
    if (!OpenAsDesktopUser(Widen(address))) {
        MessageBoxW(host_.Window(),
                    Widen(host_.Texts().Caption(names::kLangCannotStart) + ": " + address).c_str(),
                    Widen(host_.Texts().Caption(names::kLangError)).c_str(), MB_ICONERROR);
    }
}

void ProgramListPage::RegistryKeyOpenUninstallMenuClick() {
    const int selected = SelectedRow();
    if (selected < 0)
        return;
    OpenRegistryKey(rows_[selected].columns[kColRootName], rows_[selected].columns[kColKeyPath]);
}

void ProgramListPage::LogCreateMenuClick() {
    wchar_t fileName[MAX_PATH] = {};
    lstrcpynW(fileName, reportFileName_.c_str(), MAX_PATH);
    const std::wstring filter = std::wstring(L"HTML") + L'\0' + L"*.html" + L'\0' + L'\0';
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = host_.Window();
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = fileName;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrDefExt = L"html";
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    if (!GetSaveFileNameW(&dialog))
        return;
    reportFileName_ = fileName;

    const std::vector<std::string> captions =
        list_.ColumnCaptions(*host_.Texts().Find(names::kListViewUninstall));
    const std::vector<std::vector<std::string>> cells = list_.VisibleCells();
    const std::string path = Narrow(fileName);
    try {
        CreateFolderTree(path.substr(0, path.find_last_of('\\') + 1));
        WriteWholeFile(path, HtmlReport(names::kListViewUninstall.name, captions, cells));
    } catch (const std::exception&) {
        // A report that cannot be written is simply missing, as the user can see.
    }
}

}  // namespace corvandel
