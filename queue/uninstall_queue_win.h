#pragma once
// A queue of uninstalls, run off the window's thread one at a time: each entry's key is read
// afresh before its turn, its command is chosen by the queue's mode, the uninstaller runs until
// its whole process tree has ended, and the key is read again to learn what really happened.
// The queue changes nothing in the registry itself.

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "foundation/job.h"
#include "queue/queue_rules.h"

namespace corvandel {

// One entry of the list, as the queue finds its key.
struct QueueItem {
    std::string caption;
    std::string rootName;  // "HKEY_LOCAL_MACHINE" or "HKEY_CURRENT_USER"
    std::string keyPath;   // as the list holds it
};

// The longest an entry's uninstaller may run before the queue ends its processes and goes on.
inline constexpr std::chrono::minutes kUninstallTimeLimit{30};

// What the uninstaller file an uninstall command names shows of its maker; Unknown when the
// file is missing or cannot be read.
UninstallerMaker UninstallerMakerOf(const std::string& command, const FileSystem& files,
                                    const SpecialFolders& folders);

// The command the queue would start for an entry in the given mode, with the uninstaller file
// looked at only when the entry's values leave no other quiet way.
QueueLaunch PlanEntryUninstall(const EntryFacts& facts, QueueMode mode, const FileSystem& files,
                               const SpecialFolders& folders, const std::string& systemFolder);

class UninstallQueue {
  public:
    struct Handlers {
        // An entry changed state; called on the window's thread, in order.
        std::function<void(size_t index, const QueueItemState& state)> changed;
        // Every entry has its final state.
        std::function<void()> finished;
        // Called off the window's thread just before an entry's uninstaller starts, with the
        // entry's key as read then: what must be kept of the entry is kept here.
        std::function<void(const QueueItem& item)> beforeRun;
    };

    UninstallQueue(HWND window, std::vector<QueueItem> items, QueueMode mode,
                   std::chrono::milliseconds limit, Handlers handlers);
    // The same, reporting to whatever thread the delivery hands its work to (a console run
    // has no window).
    UninstallQueue(JobDelivery delivery, std::vector<QueueItem> items, QueueMode mode,
                   std::chrono::milliseconds limit, Handlers handlers);
    UninstallQueue(const UninstallQueue&) = delete;
    UninstallQueue& operator=(const UninstallQueue&) = delete;

    // "Стоп": the uninstaller that runs finishes; no further one starts.
    void StopAfterCurrent() { stopAfterCurrent_ = true; }

  private:
    void Run(JobContext& job);

    std::vector<QueueItem> items_;
    QueueMode mode_;
    std::chrono::milliseconds limit_;
    Handlers handlers_;
    std::atomic<bool> stopAfterCurrent_{false};
    // Last: letting the queue go stops waiting for the running uninstaller (which goes on by
    // itself) and joins the thread before the handlers go.
    Job job_;
};

}  // namespace corvandel
