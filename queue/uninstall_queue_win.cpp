#include "queue/uninstall_queue_win.h"

#include <algorithm>

#include "foundation/gui_thread_win.h"
#include "foundation/handle_win.h"
#include "foundation/platform_win.h"
#include "foundation/registry_win.h"
#include "foundation/win_text.h"
#include "inventory/command_parse.h"
#include "queue/process_tree_win.h"

namespace corvandel {

namespace {

// Installer systems leave their marks within the first megabytes of an uninstaller.
constexpr size_t kUninstallerBytes = 8u << 20;

// The first bytes of a file, read-only and without letting anyone write it meanwhile; empty
// when it cannot be read.
std::string ReadHead(const std::string& path, size_t limit) {
    const OwnedFile file(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || GetFileType(file.Get()) != FILE_TYPE_DISK || !GetFileSizeEx(file.Get(), &size))
        return std::string();
    std::string bytes(static_cast<size_t>(std::min<int64_t>(size.QuadPart, limit)), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                      &got, nullptr) ||
            got == 0) {
            break;
        }
        done += got;
    }
    bytes.resize(done);
    return bytes;
}

QueueItemState Unstarted(LaunchReason reason) {
    QueueItemState state;
    state.reason = reason;
    state.state = reason == LaunchReason::NoQuietWay           ? QueueState::Skipped
                  : reason == LaunchReason::UninstallerMissing ? QueueState::UninstallerMissing
                                                               : QueueState::Failed;
    return state;
}

}  // namespace

UninstallerMaker UninstallerMakerOf(const std::string& command, const FileSystem& files,
                                    const SpecialFolders& folders) {
    const std::string file = RunPath(command, files, folders);
    if (file.empty() || !files.FileExists(file))
        return UninstallerMaker::Unknown;
    const size_t slash = file.find_last_of("\\/");
    const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    return RecognizeUninstaller(name, ReadHead(file, kUninstallerBytes));
}

QueueLaunch PlanEntryUninstall(const EntryFacts& facts, QueueMode mode, const FileSystem& files,
                               const SpecialFolders& folders, const std::string& systemFolder) {
    // The maker decides only where nothing else gives a quiet way; reading the file costs
    // megabytes, so it is read only then.
    QueueLaunch plan =
        PlanQueuedUninstall(facts, mode, UninstallerMaker::Unknown, files, folders, systemFolder);
    const bool couldBeQuieter =
        plan.reason == LaunchReason::NoQuietWay ||
        (plan.reason == LaunchReason::Interactive && mode == QueueMode::QuietWherePossible);
    if (!couldBeQuieter)
        return plan;
    const UninstallerMaker maker = UninstallerMakerOf(facts.uninstallString, files, folders);
    if (maker == UninstallerMaker::Unknown)
        return plan;
    return PlanQueuedUninstall(facts, mode, maker, files, folders, systemFolder);
}

UninstallQueue::UninstallQueue(HWND window, std::vector<QueueItem> items, QueueMode mode,
                               std::chrono::milliseconds limit, Handlers handlers)
    : UninstallQueue(GuiThread::To(window), std::move(items), mode, limit, std::move(handlers)) {}

UninstallQueue::UninstallQueue(JobDelivery delivery, std::vector<QueueItem> items, QueueMode mode,
                               std::chrono::milliseconds limit, Handlers handlers)
    : items_(std::move(items)),
      mode_(mode),
      limit_(limit),
      handlers_(std::move(handlers)),
      job_(
          std::move(delivery), [this](JobContext& job) { Run(job); },
          [this](bool failed) {
              // A queue that broke off (out of memory, say) still ends, so that the window
              // can close; the entries it did not reach keep their last state.
              if (failed)
                  handlers_.finished();
          }) {}

void UninstallQueue::Run(JobContext& job) {
    Win32RegistryApi registry;
    const Win32FileSystem files;
    const Win32SpecialFolders folders;
    const std::string system = NativeSystemFolder();
    auto report = [this, &job](size_t index, const QueueItemState& state) {
        job.Post([this, index, state] { handlers_.changed(index, state); });
    };

    for (size_t i = 0; i < items_.size() && !job.Stopping(); ++i) {
        if (stopAfterCurrent_) {
            QueueItemState cancelled;
            cancelled.state = QueueState::Cancelled;
            for (size_t rest = i; rest < items_.size(); ++rest)
                report(rest, cancelled);
            break;
        }
        const QueueItem& item = items_[i];
        const auto facts = ReadEntryFacts(registry, item.rootName, item.keyPath);
        if (!facts) {
            // Gone before its turn: removed by an earlier uninstaller, or by someone else.
            QueueItemState removed;
            removed.state = QueueState::Removed;
            report(i, removed);
            continue;
        }
        const QueueLaunch plan = PlanEntryUninstall(*facts, mode_, files, folders, system);
        if (!plan.launch) {
            report(i, Unstarted(plan.reason));
            continue;
        }
        if (handlers_.beforeRun)
            handlers_.beforeRun(item);
        QueueItemState state;
        state.reason = plan.reason;
        state.state = QueueState::Running;
        report(i, state);

        const auto entryGone = [&] {
            return !ReadEntryFacts(registry, item.rootName, item.keyPath).has_value();
        };
        const TreeRun run = RunProcessTree(
            *plan.launch, limit_, [&job] { return job.Stopping(); }, entryGone);
        if (run.abandoned)
            return;
        RunResult result;
        result.started = run.started;
        result.startError = run.startError;
        result.timedOut = run.timedOut;
        result.exitCode = run.exitCode;
        result.entryPresent = !entryGone();
        const QueueOutcome outcome = DecideOutcome(result);
        state.state = outcome.state;
        state.restartNeeded = outcome.restartNeeded;
        state.exitCode = run.exitCode;
        state.startError = run.startError;
        state.timedOut = run.timedOut;
        report(i, state);
    }
    if (!job.Stopping())
        job.Post([this] { handlers_.finished(); });
}

}  // namespace corvandel
