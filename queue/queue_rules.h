#pragma once
// The rules of uninstalling several programs in a row: which command runs for an entry (quiet
// or with the uninstaller's own windows), what modify and repair start, which entries have lost
// their uninstaller, and what a finished run means for the entry. Pure decisions over values
// read from the entry's key; the machine is reached through the interfaces only.

#include <cstdint>
#include <optional>
#include <string>

#include "foundation/platform.h"
#include "foundation/registry.h"
#include "inventory/uninstall_entry.h"

namespace corvandel {

// The values of an entry's key that the queue decides from, read afresh before its turn.
struct EntryFacts {
    std::string keyName;  // the last part of the key path: a product code for installer entries
    std::string uninstallString;
    std::string quietUninstallString;
    std::string modifyPath;
    // What a record of the entry keeps before its uninstaller runs, as written.
    std::string displayName;
    std::string publisher;
    std::string installLocation;
    std::string displayIcon;
    bool windowsInstaller = false;  // "WindowsInstaller" is 1
    bool noModify = false;          // "NoModify" is 1
    bool noRepair = false;          // "NoRepair" is 1
    // Written by an Inno Setup installer: the key's name ends in "_is1", or the key holds an
    // "Inno Setup: App Path" value.
    bool innoSetupValues = false;
    // "EstimatedSize": the installed size in KiB, when the value is a number.
    std::optional<uint64_t> estimatedSizeKib;
};

// The key of a listed row (its root name and 64-bit-view key path, as the list holds them),
// read in the view the row came from. Nothing when the key no longer exists.
std::optional<EntryFacts> ReadEntryFacts(RegistryApi& api, const std::string& rootName,
                                         const std::string& keyPath);

// The product code of an installer entry: the key name or the code after "/I" or "/X" in the
// uninstall string, when it is a well-formed {8-4-4-4-12} hexadecimal code; nothing else ever
// reaches the installer's command line.
std::optional<std::string> ProductCode(const EntryFacts& facts);

// What the uninstaller file itself shows of the installer system that made it.
enum class UninstallerMaker { Unknown, InnoSetup, Nsis };

// Judged from the file's first bytes (at most a few megabytes are read): an NSIS uninstaller
// carries NSIS's first header at a 512-byte boundary (its flags with the uninstaller's bit,
// 0xDEADBEEF, "NullsoftInst"), not merely those letters somewhere; an Inno Setup uninstaller is
// a program whose name is "unins" and three digits with ".exe" and that carries "Inno Setup"
// in its bytes.
UninstallerMaker RecognizeUninstaller(const std::string& fileName, const std::string& bytes);

// One process to start: the program file, and the whole command line it gets (its first word
// names the program, as a shell would pass it). Nothing is passed through a command
// interpreter.
struct ProcessLaunch {
    std::string application;
    std::string commandLine;
};

// How an entry is run in a queue.
enum class QueueMode {
    QuietWherePossible,  // quiet where the entry allows it, otherwise with the uninstaller's
                         // windows
    QuietOnly,           // quiet where the entry allows it, otherwise skipped
    Interactive,         // always with the uninstaller's windows
};

// Why an entry got the command it got, or why it got none.
enum class LaunchReason {
    QuietUninstallString,  // the entry's own quiet command, as written
    WindowsInstaller,      // msiexec.exe /X{code} /qn /norestart
    InnoSetup,             // the uninstall string and /VERYSILENT /SUPPRESSMSGBOXES /NORESTART
    Nsis,                  // the uninstall string and /S
    Interactive,           // the uninstall string (msiexec.exe /X{code} for installer entries)
    NoQuietWay,            // quiet only was asked and the entry has no quiet way: skipped
    NoCommand,             // empty, or names no program file: not started
    AmbiguousPath,         // unquoted, and more than one beginning of it names a program file
    UninstallerMissing,    // names a program file that does not exist
};

struct QueueLaunch {
    LaunchReason reason = LaunchReason::NoCommand;
    std::optional<ProcessLaunch> launch;  // set exactly when something is to be started
};

// The command for one entry in the given mode. `maker` is what RecognizeUninstaller made of
// the file the uninstall string names (Unknown when it could not be read). `systemFolder` is
// the system folder without a trailing separator (msiexec.exe and rundll32.exe are started
// from there). A quiet string that runs msiexec counts as the installer's quiet way and is
// made again from the product code. Quiet only reports a missing uninstaller (or no command)
// as such rather than as no quiet way.
QueueLaunch PlanQueuedUninstall(const EntryFacts& facts, QueueMode mode, UninstallerMaker maker,
                                const FileSystem& files, const SpecialFolders& folders,
                                const std::string& systemFolder);

// "Изменить": the entry's ModifyPath, or for an installer entry msiexec.exe /I{code}; nothing
// when NoModify is 1 or neither exists.
std::optional<ProcessLaunch> PlanModify(const EntryFacts& facts, const FileSystem& files,
                                        const SpecialFolders& folders,
                                        const std::string& systemFolder);
// "Исправить": msiexec.exe /fa{code} for an installer entry; nothing when NoRepair is 1 or
// the entry is no installer entry.
std::optional<ProcessLaunch> PlanRepair(const EntryFacts& facts, const std::string& systemFolder);

// True when the entry's uninstall command names a program file that does not exist (after the
// command parsing of the list resolves it). msiexec commands are never broken (a code the
// command lacks may be the key's name, and an entry called broken may be deleted); rundll32
// commands count by the library they name; an empty command is not judged.
bool UninstallerIsMissing(const std::string& uninstallString, const FileSystem& files,
                          const SpecialFolders& folders);

// What happened to one queued entry.
enum class QueueState {
    Waiting,
    Running,
    Removed,             // the entry's key is gone
    StillListed,         // the uninstaller ended well, but the entry is still there
    Failed,              // an exit code that means failure, a time limit, or a start that failed
    UninstallerMissing,  // the command names a file that does not exist
    Skipped,             // quiet only, and no quiet way
    Cancelled,           // by the user: "Стоп" before its turn, or exit code 1602
};

// What became of one entry so far.
struct QueueItemState {
    QueueState state = QueueState::Waiting;
    LaunchReason reason = LaunchReason::NoCommand;
    uint32_t exitCode = 0;    // for a failed run that ended with a code
    uint32_t startError = 0;  // for a run that did not start
    bool timedOut = false;
    bool restartNeeded = false;
};

// How a run ended, as the queue saw it.
struct RunResult {
    bool started = false;
    uint32_t startError = 0;   // the system's error when it did not start
    bool timedOut = false;     // the time limit ended it
    uint32_t exitCode = 0;     // of the process the queue started
    bool entryPresent = true;  // the entry's key, read again after the whole process tree ended
};

struct QueueOutcome {
    QueueState state = QueueState::Failed;
    bool restartNeeded = false;  // exit code 3010 or 1641
};

// A run that did not start or hit the time limit failed. Otherwise the entry decides: gone is
// removed, whatever the exit code (1605, product unknown, included); still there, 0, 3010 and
// 1641 are "still listed", 1602 is cancelled by the user and any other code failed. 3010 and
// 1641 ask for a restart either way.
QueueOutcome DecideOutcome(const RunResult& result);

}  // namespace corvandel
