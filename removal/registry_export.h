#pragma once
// The text of a registry-editor import file ("Windows Registry Editor Version 5.00") for one
// uninstall entry's key with all its values and sub-keys. The console shows it and the
// backup saves exactly the same text, so every line must import back to the same data.

#include <optional>
#include <string>
#include <vector>

#include "foundation/registry.h"

namespace corvandel {

inline constexpr const char* kRegEditHeader = "Windows Registry Editor Version 5.00";

// The first part of a key tree that could not be read in full: a key, or one value of it.
struct ExportProblem {
    std::string keyText;    // root name and path, as the key line shows it
    std::string valueName;  // empty when a key itself could not be read
    bool inValue = false;
    uint32_t error = 0;  // the system's error code, 0 when none was given
};

// One key whose whole tree the export text holds.
struct ExportedKey {
    RegRoot root = RegRoot::CurrentUser;
    uint32_t view = 0;    // kKeyWow64_64Key or kKeyWow64_32Key: the view it was read in
    std::string path;     // below the root, beginning with "\"
    std::string keyText;  // root name and path, as the key line shows it
};

struct EntryExport {
    std::vector<std::string> lines;  // without line ends
    // The listed entry's key first, then the twin that the list shows in the same row.
    std::vector<ExportedKey> keys;
    // Set when any key, sub-key or value of those keys could not be read in full; the lines
    // then leave that part out.
    std::optional<ExportProblem> problem;
};

// rootName is "HKEY_LOCAL_MACHINE" or "HKEY_CURRENT_USER"; keyPath begins with "\".
// Returns the lines without line ends; every handle opened is closed again.
std::vector<std::string> ExportEntryLines(RegistryApi& api, const std::string& rootName,
                                          const std::string& keyPath);

// The export of a listed row: its own key and, for a machine-wide entry read through the
// 64-bit view, the key of the same name in the other view when that key is its twin (listed
// under the same caption, so the list shows both as this one row). A key of the same name
// that belongs to another program is never part of it.
EntryExport ExportEntry(RegistryApi& api, const std::string& caption, const std::string& rootName,
                        const std::string& keyPath);

// True when the backup text holds the key's block: what a deletion checks before it removes
// that key.
bool BackupHoldsKey(const std::string& backupText, const ExportedKey& key);

// One value as a line of the import file: name part, "=", data part.
std::string ExportValueLine(const std::string& name, const RegValue& value);

// The path, in the 64-bit view, of the machine-wide key of the same name in the other view:
// "\SOFTWARE\WOW6432Node\X" for "\SOFTWARE\X" and back. Nothing for a per-user entry or a
// path outside "\SOFTWARE".
std::optional<std::string> OtherViewPath(const std::string& rootName, const std::string& keyPath);

// Every line followed by CR LF, as the registry editor writes its files.
std::string JoinExportLines(const std::vector<std::string>& lines);

}  // namespace corvandel
