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

int List(const CommandLine& line, const Stream& out, const Stream& err) {
    OwnedFile file;
    if (!line.outPath.empty()) {
        file = OpenOutput(line.outPath, err);
        if (!file)
            return kExitBadCommandLine;
    }
    const Win32Locale locale;
    const std::vector<ListedProgram> programs = Describe(ListedRows(locale), locale);
    const std::string text = line.format == ListFormat::Json  ? ListJson(programs)
                             : line.format == ListFormat::Csv ? ListCsv(programs)
                                                              : ListText(programs);
    const Stream target = file ? Stream(file.Get()) : out;
    if (!target.Write(text)) {
        err.Line("Corvandel: the list could not be written in full");
        return kExitNotAllRemoved;
    }
    return kExitSuccess;
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

int Uninstall(const CommandLine& line, const CommandLineServices& services, const Stream& out) {
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
    bool done = false;
    UninstallQueue::Handlers handlers;
    handlers.changed = [&](size_t index, const QueueItemState& state) {
        states[index] = state;
        if (state.state != QueueState::Waiting && state.state != QueueState::Running) {
            out.Line(OutcomeText(state) + "\t" +
                     SafeLine(items[index].rootName + items[index].keyPath) + "\t" +
                     SafeLine(items[index].caption));
        }
    };
    handlers.finished = [&done] { done = true; };
    if (services.beforeUninstall) {
        handlers.beforeRun = [&services](const QueueItem& item) {
            services.beforeUninstall(item.rootName, item.keyPath);
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
                return Uninstall(*parsed.command, services, out);
        }
    } catch (const std::exception& e) {
        err.Line("Corvandel: " + SafeLine(e.what()));
    }
    return kExitNotAllRemoved;
}

}  // namespace corvandel
