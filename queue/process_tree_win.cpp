#include "queue/process_tree_win.h"

#include <windows.h>

#include <optional>
#include <string>

#include "foundation/handle_win.h"
#include "foundation/win_text.h"

namespace corvandel {
namespace {

// Process, thread and job handles, which are null when missing (file handles are not).
struct KernelObjectTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static bool Free(Handle h) { return CloseHandle(h) != FALSE; }
};
using OwnedKernelObject = Owned<KernelObjectTraits>;

constexpr DWORD kPollMilliseconds = 100;
// How long the processes of a job that was ended get to be gone before the run returns.
constexpr DWORD kEndWaitMilliseconds = 5000;
// The exit code the processes of a job get when the time limit ends them.
constexpr UINT kTimedOutExitCode = ERROR_TIMEOUT;

// The program's folder, with a separator after a drive letter ("C:" alone would mean that
// drive's current folder); empty when the path names no folder.
std::wstring FolderOf(const std::wstring& path) {
    const size_t at = path.find_last_of(L"\\/");
    if (at == std::wstring::npos)
        return std::wstring();
    std::wstring folder = path.substr(0, at);
    if (folder.size() == 2 && folder[1] == L':')
        folder += L'\\';
    return folder;
}

bool StartSuspended(const std::wstring& application, const std::string& commandLine,
                    const std::wstring& folder, DWORD flags, PROCESS_INFORMATION& process) {
    // CreateProcessW may write into the command line, so each attempt gets a fresh copy.
    std::wstring line = Widen(commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    return CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE,
                          flags | CREATE_SUSPENDED, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &startup, &process) != FALSE;
}

// False while any process of the job runs. A job that cannot be asked counts as empty: the
// started process has ended by then, which is all that is left to know.
bool JobIsEmpty(HANDLE job) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
    if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof info,
                                   nullptr)) {
        return true;
    }
    return info.ActiveProcesses == 0;
}

void RecordExitCode(HANDLE process, TreeRun& run) {
    DWORD code = 0;
    if (GetExitCodeProcess(process, &code) && code != STILL_ACTIVE)
        run.exitCode = code;
}

}  // namespace

TreeRun RunProcessTree(const ProcessLaunch& launch, std::chrono::milliseconds limit,
                       const std::function<bool()>& stopping,
                       const std::function<bool()>& entryGone) {
    TreeRun run;
    const std::wstring application = Widen(launch.application);
    const std::wstring folder = FolderOf(application);
    // No JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE: closing the job's handle when the wait is given up
    // must leave the uninstaller running.
    const OwnedKernelObject job(CreateJobObjectW(nullptr, nullptr));

    // A program started inside another job (some shells start theirs so) may join this one only
    // after breaking away from that job; where that job forbids it, the process starts inside
    // it and joins this one as a nested job, where the system allows nesting.
    PROCESS_INFORMATION info{};
    bool started =
        StartSuspended(application, launch.commandLine, folder, CREATE_BREAKAWAY_FROM_JOB, info);
    if (!started && GetLastError() == ERROR_ACCESS_DENIED)
        started = StartSuspended(application, launch.commandLine, folder, 0, info);
    if (!started) {
        run.startError = GetLastError();
        return run;
    }
    run.started = true;
    const OwnedKernelObject process(info.hProcess);
    const OwnedKernelObject thread(info.hThread);
    // The process joins the job before it runs, so every process it starts is in the job too.
    // Where it cannot join, only the process itself is waited for.
    const bool inJob = job && AssignProcessToJobObject(job.Get(), process.Get());
    ResumeThread(thread.Get());

    const auto begin = std::chrono::steady_clock::now();
    bool processEnded = false;
    auto lastAsked = begin;
    std::optional<std::chrono::steady_clock::time_point> goneSince;
    for (;;) {
        if (!processEnded && WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0) {
            processEnded = true;
            RecordExitCode(process.Get(), run);
        }
        if (processEnded && (!inJob || JobIsEmpty(job.Get())))
            return run;
        // The uninstaller has ended and its entry is gone: what it left running (a feedback
        // page in a browser, an Explorer it restarted) is not the uninstall any more.
        const auto now = std::chrono::steady_clock::now();
        if (processEnded && entryGone && !goneSince && now - lastAsked >= std::chrono::seconds(1)) {
            lastAsked = now;
            if (entryGone())
                goneSince = now;
        }
        if (goneSince && now - *goneSince >= kUninstallGrace) {
            run.leftRunning = true;
            return run;
        }
        if (stopping && stopping()) {
            run.abandoned = true;
            return run;
        }
        // Elapsed time against the limit, so that a very large limit cannot overflow.
        if (limit.count() > 0 && std::chrono::steady_clock::now() - begin >= limit) {
            run.timedOut = true;
            if (inJob) {
                TerminateJobObject(job.Get(), kTimedOutExitCode);
            } else {
                TerminateProcess(process.Get(), kTimedOutExitCode);
            }
            // The caller reads the entry again next: the tree must be gone by then.
            WaitForSingleObject(process.Get(), kEndWaitMilliseconds);
            for (DWORD waited = 0; inJob && !JobIsEmpty(job.Get()) && waited < kEndWaitMilliseconds;
                 waited += kPollMilliseconds) {
                Sleep(kPollMilliseconds);
            }
            if (!processEnded)
                RecordExitCode(process.Get(), run);
            return run;
        }
        if (processEnded) {
            Sleep(kPollMilliseconds);
        } else {
            WaitForSingleObject(process.Get(), kPollMilliseconds);
        }
    }
}

bool WaitForStartedTree(void* process, const std::function<bool()>& stopping) {
    const OwnedKernelObject job(CreateJobObjectW(nullptr, nullptr));
    const bool inJob = job && AssignProcessToJobObject(job.Get(), process);
    for (;;) {
        if (WaitForSingleObject(process, kPollMilliseconds) == WAIT_OBJECT_0 &&
            (!inJob || JobIsEmpty(job.Get()))) {
            return true;
        }
        if (stopping && stopping())
            return false;
    }
}

}  // namespace corvandel
