#pragma once
// The administrators' command line: its switches, its exit codes and the words it prints for
// each uninstalled entry. Only rules here; the run itself is in command_line_win.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "queue/queue_rules.h"

namespace corvandel {

// Exit codes, as documented in the README. 0 and 3010 are the codes deployment tools already
// read as success and "restart needed".
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitRestartNeeded = 3010;
inline constexpr int kExitNotAllRemoved = 1;  // some entry still listed, failed, skipped
inline constexpr int kExitKeyNotFound = 2;    // a key (or clean-up) not found, ambiguous or refused
inline constexpr int kExitBadCommandLine = 87;  // the system's "the parameter is incorrect"

enum class CommandKind { Usage, List, Uninstall, Report, Leftovers, Cleanups, Restore };
enum class ListFormat { Text, Json, Csv };

// The longest time an uninstaller may be given, in minutes (a day).
inline constexpr int kMaxTimeoutMinutes = 24 * 60;

struct CommandLine {
    CommandKind kind = CommandKind::Usage;
    ListFormat format = ListFormat::Text;
    std::string outPath;            // /out=FILE, empty for standard output
    std::vector<std::string> keys;  // /uninstall's and /leftovers' keys, in order
    bool quiet = false;             // /quiet: quiet uninstallers only
    bool cleanup = false;           // /cleanup: what a removed entry left goes to a clean-up
    std::string cleanupId;          // /restore ID
    int timeoutMinutes = 30;        // /timeout=MINUTES
    std::string reportPath;         // /report FILE
};

struct ParsedCommandLine {
    std::optional<CommandLine> command;
    std::string error;  // one line, when command is empty
};

// Reads the arguments after the program's name. Switches start with "/" and are matched
// without regard to case; a value follows "=". Anything unknown, a missing or malformed
// value, a switch of another command or a second command is an error.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

std::string UsageText();

// "removed", "still listed", "failed, code 1603", ... with ", restart needed" where the
// uninstaller asked for one.
std::string OutcomeText(const QueueItemState& state);

// 0 when every entry is gone, 3010 when every entry is gone and one asked for a restart,
// otherwise kExitNotAllRemoved.
int UninstallExitCode(const std::vector<QueueItemState>& states);

// Where a key given on the command line is among the listed entries' keys.
struct KeyMatch {
    enum class Kind { Found, NotFound, Ambiguous };
    Kind kind = Kind::NotFound;
    size_t index = 0;  // into the listed keys, when found
};

// A key matches a listed key ("HKEY_LOCAL_MACHINE\SOFTWARE\...\Name") as a whole, or by its
// last part alone when it has no "\" and exactly one listed key ends in it. Case does not
// matter (ASCII letters); HKLM and HKCU stand for their long names; trailing "\" are ignored.
KeyMatch FindListedKey(const std::vector<std::string>& listedKeys, const std::string& key);

// The last part of a key path.
std::string KeyName(const std::string& keyPath);

}  // namespace corvandel
