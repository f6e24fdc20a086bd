#pragma once
// Runs one program and waits for everything it starts: the process and every process it
// creates belong to a job object of their own, and the run ends when the job has no process
// left. Many uninstallers copy themselves to the temporary folder, start the copy and end at
// once; the copy is still part of the job.

#include <chrono>
#include <cstdint>
#include <functional>

#include "queue/queue_rules.h"

namespace corvandel {

struct TreeRun {
    bool started = false;
    uint32_t startError = 0;  // GetLastError of the failed start
    bool timedOut = false;    // the limit passed: every process of the tree was ended
    bool abandoned = false;   // stopping() asked to stop waiting: the tree runs on by itself
    uint32_t exitCode = 0;    // of the process started, once it ended
    // The started process ended and its entry was gone, but something it started was still
    // running after the grace: left running, not waited for (a browser it opened, say).
    bool leftRunning = false;
};

// How long what an uninstaller left running is waited for once it has ended and its entry is
// gone.
inline constexpr std::chrono::seconds kUninstallGrace{30};

// Starts launch.application with launch.commandLine (no shell, no command interpreter), in the
// application's folder, with its windows shown, and waits as described above. stopping is
// asked several times a second. A limit of zero or less sets no limit.
// Once the started process has ended, entryGone (asked about once a second) tells when the
// entry is gone: what the tree still runs then is waited for kUninstallGrace at most, and left
// running.
TreeRun RunProcessTree(const ProcessLaunch& launch, std::chrono::milliseconds limit,
                       const std::function<bool()>& stopping,
                       const std::function<bool()>& entryGone = {});

// Waits for a process started elsewhere (through the shell, say) and for every process it
// starts from now on. True once all of them have ended; false when stopping() asked to stop
// waiting. The handle stays the caller's.
bool WaitForStartedTree(void* process, const std::function<bool()>& stopping);

}  // namespace corvandel
