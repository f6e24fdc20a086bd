#include "cmdline/command_line_win.h"

#include <windows.h>

#include <shellapi.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "cmdline/command_line.h"
#include "cmdline/output_formats.h"
#include "foundation/error_text_win.h"
#include "foundation/files_win.h"
#include "foundation/handle_win.h"
#include "foundation/platform_win.h"
#include "foundation/registry_win.h"
#include "foundation/text.h"
#include "foundation/win_text.h"
#include "inventory/install_date.h"
#include "inventory/presentation.h"
#include "inventory/scan.h"
#include "leftovers/candidates_win.h"
#include "leftovers/leftover_rules.h"
#include "leftovers/quarantine_win.h"
#include "queue/uninstall_queue_win.h"
#include "removal/removal_rules.h"
#include "ui/stored_names.h"

namespace corvandel {

namespace {

// The scan and the file checks share the work among a few threads, as the window's do: most of
// each call is waiting for the system.
constexpr unsigned kThreads = 3;
// Console writes go in pieces the console takes at once.
constexpr size_t kConsoleChunk = 8192;

// One of the process's standard streams: a console gets UTF-16 text, anything else (a pipe,
// a file) the UTF-8 bytes.
class Stream {
  public:
    explicit Stream(HANDLE handle) : handle_(handle) {
        DWORD mode = 0;
        console_ = Usable() && GetConsoleMode(handle_, &mode);
    }

    bool Usable() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

    // False when the bytes could not all be written.
    bool Write(std::string_view bytes) const {
        if (!Usable())
            return false;
        if (console_) {
            // A console shows text, not a file's byte-order mark.
            if (bytes.starts_with("\xEF\xBB\xBF"))
                bytes.remove_prefix(3);
            const std::wstring text = Widen(bytes);
            for (size_t at = 0; at < text.size(); at += kConsoleChunk) {
                const auto size = static_cast<DWORD>(std::min(kConsoleChunk, text.size() - at));
                DWORD written = 0;
                if (!WriteConsoleW(handle_, text.data() + at, size, &written, nullptr))
                    return false;
            }
            return true;
        }
        while (!bytes.empty()) {
            DWORD written = 0;
            const auto size = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 20));
            if (!WriteFile(handle_, bytes.data(), size, &written, nullptr) || written == 0)
                return false;
            bytes.remove_prefix(written);
        }
        return true;
    }
    void Line(std::string_view text) const { Write(std::string(text) + "\r\n"); }

  private:
    HANDLE handle_;
    bool console_ = false;
};

// The standard handle, or, for a program started from a console without redirection (which
// a windowed program does not inherit), the console of the parent where there is one.
HANDLE StandardHandle(DWORD which) {
    HANDLE handle = GetStdHandle(which);
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
        return handle;
    static const bool attached = AttachConsole(ATTACH_PARENT_PROCESS) != FALSE;
    if (!attached)
        return nullptr;
    // Lives until the process ends.
    return CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

// Work handed from the queue's thread to the thread that waits for it.
class Inbox {
  public:
    JobDelivery Delivery() {
        return [this](std::function<void()> work) {
            const std::lock_guard guard(lock_);
            work_.push_back(std::move(work));
            arrived_.notify_one();
            return true;
        };
    }
    // Runs what arrives, in order, until done is true.
    void RunUntil(const bool& done) {
        while (!done) {
            std::function<void()> work;
            {
                std::unique_lock guard(lock_);
                arrived_.wait(guard, [this] { return !work_.empty(); });
                work = std::move(work_.front());
                work_.pop_front();
            }
            work();
        }
    }

  private:
    std::mutex lock_;
    std::condition_variable arrived_;
    std::deque<std::function<void()>> work_;
};

class RowCollector : public ScanSink {
  public:
    void EntryStarted(const std::string&) override {}
    void EntryRead(UninstallEntry entry) override {
        const std::lock_guard guard(lock_);
        rows_.push_back(std::move(entry));
    }
    std::vector<UninstallEntry> Take() { return std::move(rows_); }

  private:
    std::mutex lock_;
    std::vector<UninstallEntry> rows_;
};

// Calls work(i) for every i below count, shared among a few threads.
void InParallel(size_t count, const std::function<void(size_t, unsigned)>& work) {
    std::atomic<size_t> next{0};
    auto run = [&](unsigned worker) {
        for (size_t i = next++; i < count; i = next++)
            work(i, worker);
    };
    std::vector<std::thread> helpers;
    for (unsigned worker = 1; worker < kThreads; ++worker)
        helpers.emplace_back(run, worker);
    run(0);
    for (std::thread& helper : helpers)
        helper.join();
}

// The rows the window lists, with the texts it fills in after showing them: the same scan,
// order, duplicates, icon sources, folders and missing uninstallers.
std::vector<UninstallEntry> ListedRows(const Win32Locale& locale) {
    const Win32FileSystem files;
    RowCollector collector;
    InParallel(kThreads, [&](size_t slice, unsigned) {
        Win32RegistryApi registry;
        const Win32SpecialFolders folders;
        ScanEntries(ScanEnvironment{registry, files, folders, locale, WindowsIs64Bit(),
                                    static_cast<unsigned>(slice), kThreads},
                    collector);
    });
    std::vector<UninstallEntry> rows = collector.Take();
    ArrangeScannedRows(rows, 1, locale);
    Win32SpecialFolders folders[kThreads];
    InParallel(rows.size(), [&](size_t i, unsigned worker) {
        UninstallEntry& row = rows[i];
        // The list shows no icon: the icon's file only stands in for a missing folder, and
        // looking for it takes several file calls a row.
        if (row.columns[kColInstallLocation].empty())
            row.columns[kColIconSource] = IconSource(row, files, folders[worker]);
        row.uninstallerMissing =
            UninstallerIsMissing(row.columns[kColUninstallString], files, folders[worker]);
    });
    Win32RegistryApi registry;
    LoadProductIcons(registry, rows, folders[0].GetSpecialFolder(kCsidlAppData));
    FillEmptyFolders(rows);
    return rows;
}

std::string FullKey(const UninstallEntry& row) {
    return row.columns[kColRootName] + row.columns[kColKeyPath];
}

std::string ViewOf(const UninstallEntry& row, bool twoViews) {
    if (row.columns[kColRootName] == "HKEY_CURRENT_USER")
        return "user";
    const bool wow = Contains(AsciiLower(row.columns[kColKeyPath]), "\\wow6432node\\");
    return wow || !twoViews ? "32" : "64";
}

std::vector<ListedProgram> Describe(const std::vector<UninstallEntry>& rows,
                                    const Win32Locale& locale) {
    const Win32FileSystem files;
    const bool twoViews = WindowsIs64Bit();
    const std::string systemFolder = NativeSystemFolder();
    std::vector<ListedProgram> programs(rows.size());
    Win32SpecialFolders folders[kThreads];
    InParallel(rows.size(), [&](size_t i, unsigned worker) {
        const UninstallEntry& row = rows[i];
        ListedProgram& p = programs[i];
        p.name = row.caption;
        p.publisher = row.columns[kColPublisher];
        p.version = row.columns[kColVersion];
        if (row.writeTime != 0)
            p.installDate = IsoDate(GetKeyInstallDate(row.writeTime, locale));
        p.installLocation = row.columns[kColInstallLocation];
        p.uninstallCommand = row.columns[kColUninstallString];
        p.uninstallerMissing = row.uninstallerMissing;
        p.view = ViewOf(row, twoViews);
        p.key = FullKey(row);
        Win32RegistryApi registry;
        const auto facts =
            ReadEntryFacts(registry, row.columns[kColRootName], row.columns[kColKeyPath]);
        if (!facts)
            return;
        if (facts->estimatedSizeKib)
            p.estimatedSizeBytes = *facts->estimatedSizeKib * 1024;
        // Without a quiet command of its own, an entry whose uninstaller is gone has no way
        // the queue would run; the plan would only look for the same file again.
        if (row.uninstallerMissing && TrimBlanks(facts->quietUninstallString).empty())
            return;
        const QueueLaunch plan =
            PlanEntryUninstall(*facts, QueueMode::QuietOnly, files, folders[worker], systemFolder);
        if (plan.launch)
            p.quietUninstallCommand = plan.launch->commandLine;
    });
    return programs;
}

// Opens (and empties) the file the output goes to, before any work: a path that cannot be
// written is a mistake of the command line.
OwnedFile OpenOutput(const std::string& path, const Stream& err) {
    OwnedFile file(CreateFileW(Widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        err.Line("Corvandel: cannot write " + SafeLine(path) + ": " +
                 SafeLine(TrimBlanks(SystemErrorText(error))));
    }
    return file;
}

// Where a command's records go: the /out file, opened before any work, or standard output.
class Output {
  public:
    Output(const CommandLine& line, const Stream& out, const Stream& err) : out_(out), err_(err) {
        if (!line.outPath.empty()) {
            file_ = OpenOutput(line.outPath, err);
            failed_ = !file_;
        }
    }
    bool Failed() const { return failed_; }
    int Write(const std::string& text) const {
        const Stream target = file_ ? Stream(file_.Get()) : out_;
        if (!target.Write(text)) {
            err_.Line("Corvandel: the output could not be written in full");
            return kExitNotAllRemoved;
        }
        return kExitSuccess;
    }

  private:
    const Stream& out_;
    const Stream& err_;
    OwnedFile file_;
    bool failed_ = false;
};

std::string Formatted(const CommandLine& line, const OutputTable& table,
                      const std::vector<TextColumn>& columns) {
    return line.format == ListFormat::Json  ? TableJson(table)
           : line.format == ListFormat::Csv ? TableCsv(table)
                                            : TableText(table, columns);
}

int List(const CommandLine& line, const Stream& out, const Stream& err) {
    const Output output(line, out, err);
    if (output.Failed())
        return kExitBadCommandLine;
    const Win32Locale locale;
    const std::vector<ListedProgram> programs = Describe(ListedRows(locale), locale);
    return output.Write(line.format == ListFormat::Json  ? ListJson(programs)
                        : line.format == ListFormat::Csv ? ListCsv(programs)
                                                         : ListText(programs));
}

// ---- What removed programs left, and the clean-ups ----

// Says why records and clean-ups cannot be used in this run; false then.
bool DataFolderUsable(const CommandLineServices& services, const Stream& err) {
    if (!services.recordFolder.empty())
        return true;
    err.Line("Corvandel: records and clean-ups are not used: standard users can change " +
             SafeLine(services.refusedDataFolder) + ", and this program runs as an administrator");
    return false;
}

struct KeptRecord {
    std::string path;
    ProgramRecord record;
    uint64_t written = 0;
};

// The records in the folder that can be read, as a key names each: root name and key path.
std::vector<KeptRecord> KeptRecords(const std::string& folder) {
    std::vector<KeptRecord> records;
    WIN32_FIND_DATAW found{};
    const OwnedFind search(FindFirstFileExW(Widen(folder + "*.record").c_str(), FindExInfoBasic,
                                            &found, FindExSearchNameMatch, nullptr, 0));
    while (search) {
        const std::string path = folder + Narrow(found.cFileName);
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            if (auto record = ReadRecordFile(path)) {
                records.push_back(
                    {path, std::move(*record),
                     (static_cast<uint64_t>(found.ftLastWriteTime.dwHighDateTime) << 32) |
                         found.ftLastWriteTime.dwLowDateTime});
            }
        }
        if (!FindNextFileW(search.Get(), &found))
            break;
    }
    return records;
}

// Stable names for scripts, in the order of Evidence.
const char* EvidenceName(Evidence evidence) {
    constexpr const char* kNames[] = {
        "insideInstallFolder", "pointsIntoInstallFolder", "recordedFile",
        "recordedPointer",     "namedInPublisherFolder",  "programKey",
        "hostCommand"};
    return kNames[static_cast<size_t>(evidence)];
}

// Stable names for scripts, in the order of LeftoverKind.
const char* KindName(LeftoverKind kind) {
    constexpr const char* kNames[] = {"folder", "file",    "shortcut", "value",
                                      "key",    "service", "task"};
    return kNames[static_cast<size_t>(kind)];
}

// What the window ticks: a high-confidence offer the clean-up can remove (services and tasks
// are Windows' own tools' to remove).
bool Selected(const Offer& offer) {
    return offer.preselected && offer.candidate.kind != LeftoverKind::Service &&
           offer.candidate.kind != LeftoverKind::Task;
}

std::string RecordKey(const ProgramRecord& record) {
    return record.rootName + record.keyPath;
}

int Leftovers(const CommandLine& line, const CommandLineServices& services, const Stream& out,
              const Stream& err) {
    const Output output(line, out, err);
    if (output.Failed())
        return kExitBadCommandLine;
    if (!DataFolderUsable(services, err))
        return kExitKeyNotFound;
    const std::vector<KeptRecord> kept = KeptRecords(services.recordFolder);
    std::vector<std::string> keys;
    for (const KeptRecord& record : kept) {
        if (std::find(keys.begin(), keys.end(), RecordKey(record.record)) == keys.end())
            keys.push_back(RecordKey(record.record));
    }
    Win32RegistryApi registry;
    const Win32FileSystem files;
    const Win32SpecialFolders folders;
    // Every key must name a program that is gone and has a record before anything is searched.
    std::vector<const KeptRecord*> chosen;
    bool refused = false;
    for (const std::string& key : line.keys) {
        const KeyMatch match = FindListedKey(keys, key);
        if (match.kind != KeyMatch::Kind::Found) {
            err.Line(std::string(match.kind == KeyMatch::Kind::Ambiguous ? "ambiguous"
                                                                         : "no record kept") +
                     "\t" + SafeLine(key));
            refused = true;
            continue;
        }
        const KeptRecord* latest = nullptr;
        for (const KeptRecord& record : kept) {
            if (RecordKey(record.record) == keys[match.index] &&
                (latest == nullptr || record.written > latest->written))
                latest = &record;
        }
        // A program still installed and whole owns its folder: nothing of it is a leftover.
        const auto facts =
            ReadEntryFacts(registry, latest->record.rootName, latest->record.keyPath);
        if (facts && !UninstallerIsMissing(facts->uninstallString, files, folders)) {
            err.Line("still installed\t" + SafeLine(keys[match.index]) + "\t" +
                     SafeLine(latest->record.displayName));
            refused = true;
            continue;
        }
        chosen.push_back(latest);
    }
    if (refused)
        return kExitKeyNotFound;

    OutputTable table;
    table.names = {"program", "key",        "item",     "kind", "evidence",
                   "cites",   "confidence", "selected", "bytes"};
    for (const KeptRecord* record : chosen) {
        // Listed as the window lists them: nothing that lies in an offered folder on its own.
        for (const Offer& offer :
             MergeOffers({SearchLeftovers(record->record, registry, folders)})) {
            const bool onDisk = offer.candidate.kind == LeftoverKind::Folder ||
                                offer.candidate.kind == LeftoverKind::File ||
                                offer.candidate.kind == LeftoverKind::Shortcut;
            table.rows.push_back({{record->record.displayName},
                                  {RecordKey(record->record)},
                                  {OfferedItemText(offer.candidate)},
                                  {KindName(offer.candidate.kind)},
                                  {EvidenceName(offer.evidence)},
                                  {offer.cites},
                                  {offer.confidence == Confidence::High ? "high" : "medium"},
                                  {Selected(offer) ? "true" : "false", OutputValue::Kind::Bare},
                                  onDisk ? OutputValue{std::to_string(offer.candidate.bytes),
                                                       OutputValue::Kind::Bare}
                                         : OutputValue{"", OutputValue::Kind::Null}});
        }
    }
    return output.Write(Formatted(line, table,
                                  {{7, "Selected", 8},
                                   {6, "Confidence", 10},
                                   {3, "Kind", 8},
                                   {0, "Program", 32},
                                   {2, "Item", SIZE_MAX}}));
}

// A clean-up's id: its folder's name.
std::string CleanupId(const KeptCleanup& cleanup) {
    std::string folder = cleanup.folder;
    while (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    return folder.substr(folder.find_last_of('\\') + 1);
}

std::string LocalTimeText(uint64_t fileTime) {
    const FILETIME utc{static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
    FILETIME local{};
    SYSTEMTIME time{};
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &time))
        return std::string();
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u", time.wYear, time.wMonth,
                  time.wDay, time.wHour, time.wMinute, time.wSecond);
    return text;
}

int Cleanups(const CommandLine& line, const CommandLineServices& services, const Stream& out,
             const Stream& err) {
    const Output output(line, out, err);
    if (output.Failed())
        return kExitBadCommandLine;
    if (!DataFolderUsable(services, err))
        return kExitKeyNotFound;
    OutputTable table;
    table.names = {"id", "date", "programs", "items", "bytes"};
    for (const KeptCleanup& cleanup : ListCleanups(services.quarantineFolder)) {
        const size_t items =
            cleanup.list.files.size() + cleanup.list.keys.size() + cleanup.list.values.size();
        table.rows.push_back({{CleanupId(cleanup)},
                              {LocalTimeText(cleanup.written)},
                              {cleanup.list.programs},
                              {std::to_string(items), OutputValue::Kind::Bare},
                              {std::to_string(cleanup.bytes), OutputValue::Kind::Bare}});
    }
    return output.Write(Formatted(
        line, table,
        {{0, "Id", SIZE_MAX}, {3, "Items", 8}, {4, "Bytes", 16}, {2, "Programs", SIZE_MAX}}));
}

int Restore(const CommandLine& line, const CommandLineServices& services, const Stream& out,
            const Stream& err) {
    if (!DataFolderUsable(services, err))
        return kExitKeyNotFound;
    for (const KeptCleanup& cleanup : ListCleanups(services.quarantineFolder)) {
        if (AsciiLower(CleanupId(cleanup)) != AsciiLower(TrimBlanks(line.cleanupId)))
            continue;
        Win32RegistryApi registry;
        const auto problems =
            RestoreCleanupWithRecords(cleanup.folder, services.recordFolder, registry);
        for (const LeftInPlace& problem : problems) {
            out.Line("not restored\t" + SafeLine(problem.item) + "\t" +
                     SafeLine(TrimBlanks(SystemErrorText(problem.error))));
        }
        return problems.empty() ? kExitSuccess : kExitNotAllRemoved;
    }
    err.Line("no clean-up\t" + SafeLine(line.cleanupId));
    return kExitKeyNotFound;
}

int Report(const CommandLine& line, const CommandLineServices& services, const Stream& err) {
    const Win32Locale locale;
    std::vector<std::vector<std::string>> cells;
    for (const UninstallEntry& row : ListedRows(locale)) {
        cells.push_back({row.caption, row.columns[kColPublisher], row.columns[kColVersion],
                         row.columns[kColInstallDate], row.columns[kColInstallLocation]});
    }
    const std::string& path = line.reportPath;
    try {
        CreateFolderTree(path.substr(0, path.find_last_of('\\') + 1));
        WriteWholeFile(path, HtmlReport(stored::main_window::kListViewUninstall.name,
                                        services.reportCaptions, cells));
    } catch (const std::exception& e) {
        err.Line("Corvandel: cannot write " + SafeLine(path) + ": " + SafeLine(e.what()));
        return kExitBadCommandLine;
    }
    return kExitSuccess;
}

// Moves what a removed entry left, as the window would tick it, into a clean-up; the words
// its outcome line ends with.
std::string CleanUpAfter(const QueueItem& item, const std::string& recordPath,
                         const CommandLineServices& services) {
    const auto record = recordPath.empty() ? std::nullopt : ReadRecordFile(recordPath);
    if (!record)
        return "no record kept, nothing cleaned up";
    Win32RegistryApi registry;
    const Win32SpecialFolders folders;
    std::vector<Offer> chosen;
    // Listed as the window lists them: nothing that lies in an offered folder on its own.
    for (Offer& offer : MergeOffers({SearchLeftovers(*record, registry, folders)})) {
        if (Selected(offer))
            chosen.push_back(std::move(offer));
    }
    if (chosen.empty())
        return "nothing left behind";
    const CleanupOutcome outcome =
        RemoveIntoQuarantine(chosen, item.caption, services.quarantineFolder, registry);
    // The record goes into the clean-up it led to, as the window does it.
    if (!outcome.folder.empty()) {
        MoveFileExW(
            Widen(recordPath).c_str(),
            Widen(outcome.folder + recordPath.substr(recordPath.find_last_of('\\') + 1)).c_str(),
            0);
    }
    std::string folder = outcome.folder;
    while (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    std::string text = "clean-up " + folder.substr(folder.find_last_of('\\') + 1) + ": " +
                       std::to_string(outcome.removed) + " removed";
    if (!outcome.leftInPlace.empty())
        text += ", " + std::to_string(outcome.leftInPlace.size()) + " left";
    return text;
}

int Uninstall(const CommandLine& line, const CommandLineServices& services, const Stream& out,
              const Stream& err) {
    if (line.cleanup && !DataFolderUsable(services, err))
        return kExitKeyNotFound;
    const Win32Locale locale;
    const std::vector<UninstallEntry> rows = ListedRows(locale);
    std::vector<std::string> keys;
    for (const UninstallEntry& row : rows)
        keys.push_back(FullKey(row));

    // Every key must name one listed entry before anything runs.
    std::vector<QueueItem> items;
    bool refused = false;
    for (const std::string& key : line.keys) {
        const KeyMatch match = FindListedKey(keys, key);
        if (match.kind != KeyMatch::Kind::Found) {
            out.Line(
                std::string(match.kind == KeyMatch::Kind::Ambiguous ? "ambiguous" : "not found") +
                "\t" + SafeLine(key));
            refused = true;
            continue;
        }
        const UninstallEntry& row = rows[match.index];
        if (AsciiLower(KeyName(row.columns[kColKeyPath])) == AsciiLower(stored::kOwnUninstallKey)) {
            out.Line("refused, this program's own entry\t" + SafeLine(keys[match.index]) + "\t" +
                     SafeLine(row.caption));
            refused = true;
            continue;
        }
        items.push_back({row.caption, row.columns[kColRootName], row.columns[kColKeyPath]});
    }
    if (refused)
        return kExitKeyNotFound;

    std::vector<QueueItemState> states(items.size());
    std::vector<std::string> records(items.size());
    bool done = false;
    const auto outcomeLine = [&](size_t index, const std::string& text) {
        out.Line(text + "\t" + SafeLine(items[index].rootName + items[index].keyPath) + "\t" +
                 SafeLine(items[index].caption));
    };
    UninstallQueue::Handlers handlers;
    handlers.changed = [&](size_t index, const QueueItemState& state) {
        states[index] = state;
        if (state.state == QueueState::Waiting || state.state == QueueState::Running)
            return;
        // A removed entry's line waits for its clean-up, after the last uninstaller: no
        // search runs while another program is being removed.
        if (!(line.cleanup && state.state == QueueState::Removed))
            outcomeLine(index, OutcomeText(state));
    };
    handlers.finished = [&done] { done = true; };
    if (services.beforeUninstall) {
        handlers.beforeRun = [&](const QueueItem& item) {
            const std::string record = services.beforeUninstall(item.rootName, item.keyPath);
            for (size_t i = 0; i < items.size(); ++i) {
                if (items[i].rootName == item.rootName && items[i].keyPath == item.keyPath)
                    records[i] = record;
            }
        };
    }
    Inbox inbox;
    {
        const UninstallQueue queue(
            inbox.Delivery(), items,
            line.quiet ? QueueMode::QuietOnly : QueueMode::QuietWherePossible,
            std::chrono::minutes(line.timeoutMinutes), std::move(handlers));
        inbox.RunUntil(done);
    }
    for (size_t i = 0; line.cleanup && i < items.size(); ++i) {
        if (states[i].state == QueueState::Removed)
            outcomeLine(
                i, OutcomeText(states[i]) + ", " + CleanUpAfter(items[i], records[i], services));
    }
    return UninstallExitCode(states);
}

}  // namespace

std::vector<std::string> ProcessArguments() {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; argv != nullptr && i < count; ++i)
        args.push_back(Narrow(argv[i]));
    LocalFree(argv);
    return args;
}

int RunCommandLine(const std::vector<std::string>& args, const CommandLineServices& services) {
    const Stream out(StandardHandle(STD_OUTPUT_HANDLE));
    const Stream err(StandardHandle(STD_ERROR_HANDLE));
    const ParsedCommandLine parsed = ParseCommandLine(args);
    if (!parsed.command) {
        err.Line("Corvandel: " + parsed.error);
        err.Write(UsageText());
        return kExitBadCommandLine;
    }
    try {
        switch (parsed.command->kind) {
            case CommandKind::Usage:
                out.Write(UsageText());
                return kExitSuccess;
            case CommandKind::List:
                return List(*parsed.command, out, err);
            case CommandKind::Report:
                return Report(*parsed.command, services, err);
            case CommandKind::Uninstall:
                return Uninstall(*parsed.command, services, out, err);
            case CommandKind::Leftovers:
                return Leftovers(*parsed.command, services, out, err);
            case CommandKind::Cleanups:
                return Cleanups(*parsed.command, services, out, err);
            case CommandKind::Restore:
                return Restore(*parsed.command, services, out, err);
        }
    } catch (const std::exception& e) {
        err.Line("Corvandel: " + SafeLine(e.what()));
    }
    return kExitNotAllRemoved;
}

}  // namespace corvandel
