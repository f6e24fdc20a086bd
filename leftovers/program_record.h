#pragma once
// What the program keeps of an uninstall entry before its uninstaller runs, so that what the
// removed program leaves behind can still be tied to it afterwards, also after a crash between
// the uninstall and the clean-up. The record lies as a text file beside the key backups.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvandel {

// The kinds of things a removed program may leave behind.
enum class LeftoverKind { Folder, File, Shortcut, RunValue, RegistryKey, Service, Task };

// Something that starts a file of the program, seen pointing into its folder before the
// uninstall: a shortcut (Start menu or desktop, all users or the current user), a Run or
// RunOnce value (either registry view, machine or user), a service or a scheduled task.
struct RecordedPointer {
    LeftoverKind kind = LeftoverKind::Shortcut;
    std::string path;       // named as Candidate::path names it (leftovers/leftover_rules.h)
    std::string valueName;  // a Run value's name
    std::string target;     // the file it starts, as read
    bool operator==(const RecordedPointer&) const = default;
};

// The entry as it was before its uninstaller ran. Texts are kept as read, however odd.
struct ProgramRecord {
    std::string rootName;  // "HKEY_LOCAL_MACHINE" or "HKEY_CURRENT_USER"
    std::string keyPath;
    std::string displayName;
    std::string publisher;
    std::string installLocation;
    std::string uninstallerPath;  // the file the uninstall command starts
    std::string iconPath;         // the file DisplayIcon names, without its icon index
    std::vector<RecordedPointer> pointers;
    bool operator==(const ProgramRecord&) const = default;
};

// The record as UTF-8 text with CR LF line ends, one value a line; every byte of every value
// comes back through ParseRecord, line breaks, tabs and other control characters included. The
// last line carries a checksum of everything before it.
std::string SerializeRecord(const ProgramRecord& record);

// The record a SerializeRecord text holds; nothing for any other text: another file, a newer
// format, a truncated or altered record. A record is never taken in part.
std::optional<ProgramRecord> ParseRecord(std::string_view text);

}  // namespace corvandel
