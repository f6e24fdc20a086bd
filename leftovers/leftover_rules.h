#pragma once
// What an uninstalled program left behind, and why each item is its own. Only what evidence
// ties to the program is offered: its install folder and whatever points into it (high
// confidence, selected at first), and a folder or key named exactly after the program under
// its publisher's name (medium). Guards that no evidence overrides keep out the system's and
// the user's folders, anything of the programs still installed, folders holding a file in use,
// short or publisher-only names, and whatever lies behind a link. Pure decisions over paths and
// names: the caller walks the machine and hands the findings in.

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "leftovers/program_record.h"

namespace corvandel {

// Something found on the machine that the removed program may have left behind.
struct Candidate {
    LeftoverKind kind = LeftoverKind::Folder;
    // Folder, File, Shortcut: the full path. RegistryKey: the root's name and the key path as
    // the 64-bit view names it ("HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\Contoso\Alpha").
    // RunValue: its key named the same way. Service: its name. Task: its path.
    std::string path;
    std::string valueName;  // RunValue: the value's name
    // Shortcut, RunValue, Service, Task: the file it starts (a path, not a command line), and
    // what it passes that file, as written.
    std::string target;
    std::string arguments;
    // A file in use, a running service; a folder holding a file in use.
    bool inUse = false;
    // A symbolic link or junction: offered, if at all, as the link alone; nothing reached
    // through it is ever offered. Every reparse point met on the walk is to be handed in.
    bool reparsePoint = false;
    std::string linkTarget;  // where the link leads, to be shown
    // Folder, File, Shortcut: the bytes it holds (a folder: the files found in it).
    uint64_t bytes = 0;
    bool operator==(const Candidate&) const = default;
};

// A program that stays installed, as its uninstall entry names it.
struct InstalledProgram {
    std::string displayName;
    std::string publisher;
    std::string installLocation;
};

struct EnvironmentVariable {
    std::string name;
    std::string value;
};

// What the machine tells about the places that are nobody's to remove, or somebody else's.
// Paths may be written as uninstall entries write them (see NormalizePath).
struct MachineFacts {
    // Every known folder the system names, on whichever drive: Program Files (both), Windows,
    // the system folders, the profile and its Documents, Downloads, Desktop, Music, Pictures,
    // Videos, AppData Roaming, Local and LocalLow, ProgramData, the Start Menu folders, Users,
    // Public ... Neither these nor any folder holding one are offered; drive roots never are.
    std::vector<std::string> knownFolders;
    // The Windows folder: nothing inside it is offered, whatever points there.
    std::vector<std::string> systemFolders;
    // AppData Roaming and Local and ProgramData: a folder <data>\<publisher>\<program> there
    // is the program's own.
    std::vector<std::string> dataFolders;
    // Every program still installed; not the one removed.
    std::vector<InstalledProgram> otherPrograms;
    // The files the programs still installed point to: their uninstallers, icons, shortcut
    // targets and Run values, the shared libraries the system counts users of, the programs
    // registered under App Paths.
    std::vector<std::string> claimedPaths;
    // Folders another product's installer records files in (Windows Installer's component
    // records): each, and whatever lies in it, is that product's.
    std::vector<std::string> claimedFolders;
    // The values %NAME% references in paths stand for.
    std::vector<EnvironmentVariable> environment;
};

enum class Confidence { Medium, High };

// Why an offered item belongs to the removed program, and what the offer cites for it.
enum class Evidence {
    InsideInstallFolder,      // is the install folder or lies in it; cites the folder
    PointsIntoInstallFolder,  // starts a file in the install folder; cites the folder
    // The install folder is a known folder or a drive root, so only the files the entry named
    // are its own:
    RecordedFile,            // the uninstaller or icon file the entry named; cites the file
    RecordedPointer,         // seen before the uninstall and starts such a file; cites the file
    NamedInPublisherFolder,  // named after the program in the publisher's folder; cites that
    ProgramKey,              // the program's own key under Software\<publisher>; cites that
    // An interpreter or host (python, java, wscript, cmd ...) of the install folder, or one
    // that runs a file there while it also names files elsewhere: the user's script may be
    // what it runs. Cites the whole command; never pre-selected.
    HostCommand,
};

struct Offer {
    Candidate candidate;
    Evidence evidence = Evidence::InsideInstallFolder;
    std::string cites;
    Confidence confidence = Confidence::Medium;
    bool preselected = false;  // high confidence only
};

// ---- Paths ----

// The path in the one form the rules compare: "X:\..." or "\\server\share\...", separated by
// single backslashes, without a trailing one except at a drive root. Takes what an uninstall
// entry may hold: blanks and quotes around it, forward slashes, a "\\?\" or "\??\" prefix,
// "." and ".." parts, %NAME% references, trailing dots and blanks on a name (which Windows
// drops). Nothing for a relative path, an unknown reference, a ".." above the root, a device
// path, a name with characters Windows forbids, or text that is not well-formed UTF-8.
std::optional<std::string> NormalizePath(std::string_view path,
                                         const std::vector<EnvironmentVariable>& environment);

// The text as names are compared, case-insensitively beyond ASCII (Latin, Greek, Cyrillic,
// Armenian, full-width Latin): one UTF-16 unit at a time, as the file system and the registry
// compare names, without any language's special rules.
std::string FoldCase(std::string_view text);

// True when `path` is `folder` or lies in it, on a name boundary: "C:\Foo" holds
// "C:\Foo\bar" but not "C:\Foobar". Both as NormalizePath gives them.
bool IsSameOrInside(std::string_view path, std::string_view folder);

// True when removing the recorded program removes the copy running from `executablePath`: the
// file lies in the entry's install folder or beside its uninstaller. Nothing of it would be
// left to search with, so such a removal keeps no record.
bool RemovesRunningCopy(const ProgramRecord& record, std::string_view executablePath,
                        const std::vector<EnvironmentVariable>& environment);

// True for the programs that run what their arguments name rather than code of their own:
// script and byte-code interpreters, command and script hosts, rundll32 and msiexec.
bool IsHostProgram(std::string_view path);

// The absolute paths a command's arguments name, as NormalizePath gives them: quoted or not,
// also after an option's "=" or ":" ("-jar C:\a.jar", "/config:C:\x.ini").
std::vector<std::string> PathsInArguments(std::string_view arguments,
                                          const std::vector<EnvironmentVariable>& environment);

// ---- Guards that no evidence overrides ----

// Long enough to tell a program by: at least 4 characters, well-formed UTF-8.
bool IsDistinctiveName(std::string_view name);

// The system's own publishers and the names of its folders and keys under AppData,
// ProgramData and Software ("Microsoft", "Classes", "Policies", "Protect" ...): a name match
// there would offer the system's or the user's data, so none is ever made.
bool IsSystemName(std::string_view name);

// The machine's facts prepared once for a whole search. Paths as NormalizePath gives them.
class LeftoverGuards {
  public:
    explicit LeftoverGuards(const MachineFacts& facts);

    // A drive or share root, a known folder, or a folder holding one.
    bool IsProtected(std::string_view path) const;
    // In the Windows folder, or that folder itself.
    bool IsInSystemFolder(std::string_view path) const;
    // In, at or holding another program's install folder, or a file another program points
    // to. A protected folder (an install folder of "C:\", say) claims nothing by being named:
    // it is nobody's.
    bool BelongsToAnotherProgram(std::string_view path) const;
    // The claims of other programs that lie strictly inside `path`, folded.
    std::vector<std::string> ClaimsInside(std::string_view path) const;
    // Another installed program has the same name, or a name that goes on from it as another
    // word ("Alpha Editor" and "Alpha Editor Language Pack"): folders and keys named after the
    // program may be theirs as well.
    bool SharesProgramName(std::string_view displayName) const;

    // One of the data folders (AppData Roaming or Local, ProgramData) itself.
    bool IsDataFolder(std::string_view path) const;

    const std::vector<EnvironmentVariable>& Environment() const { return environment_; }

  private:
    // Paths normalized and folded, as FoldCase gives them.
    std::vector<std::string> known_;
    std::vector<std::string> system_;
    std::vector<std::string> data_;
    // Other programs' folders and files, the claimed folders among them; sorted for lookups
    // in both directions (a path inside one of them, or holding one).
    std::set<std::string> claimed_;
    std::vector<std::string> otherNames_;
    std::vector<EnvironmentVariable> environment_;
};

// ---- The decision ----

// What the candidates hold of the removed program: each with its evidence and confidence,
// grouped by kind in the order of LeftoverKind and otherwise in the candidates' order, each
// item once. Nothing is offered below medium confidence, nor anything a guard keeps out.
std::vector<Offer> FindLeftovers(const ProgramRecord& record,
                                 const std::vector<Candidate>& candidates,
                                 const MachineFacts& facts);

// The offers of several programs cleaned up together as one list: each item once (the first
// program's offer kept), nothing listed that lies inside an offered folder (removing the folder
// takes it along), grouped by kind as FindLeftovers groups them.
std::vector<Offer> MergeOffers(std::vector<std::vector<Offer>> perProgram);

// How an offer names its item to the user: the path, and a value's name after its key.
std::string OfferedItemText(const Candidate& candidate);

}  // namespace corvandel
