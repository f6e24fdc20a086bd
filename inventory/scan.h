#pragma once
// Reads the uninstall entries of the four registry sources into program-list rows.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "foundation/platform.h"
#include "foundation/registry.h"
#include "inventory/uninstall_entry.h"

namespace corvandel {

struct UninstallSource {
    RegRoot root;
    uint32_t access;
    const char* path;
};

// Read in this order; on 64-bit Windows sources 1 and 3 reach the same physical key.
inline constexpr std::array<UninstallSource, 4> kUninstallSources{{
    {RegRoot::LocalMachine, kKeyAllAccess | kKeyWow64_64Key,
     "\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
    {RegRoot::LocalMachine, kKeyAllAccess | kKeyWow64_64Key,
     "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
    {RegRoot::LocalMachine, kKeyAllAccess | kKeyWow64_32Key,
     "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
    {RegRoot::CurrentUser, kKeyAllAccess,
     "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
}};

// Receives the rows as the scan reads them, so the window can show them at once.
class ScanSink {
  public:
    virtual ~ScanSink() = default;
    // Called before a kept entry is read in full (status-bar progress).
    virtual void EntryStarted(const std::string& displayName) = 0;
    virtual void EntryRead(UninstallEntry entry) = 0;
    // Gives the window a chance to handle its messages; false stops the scan.
    virtual bool KeepGoing() { return true; }
};

struct ScanEnvironment {
    RegistryApi& registry;
    const FileSystem& files;
    const SpecialFolders& folders;
    const Locale& locale;
    // True on 64-bit Windows, where the 32-bit view of the uninstall key is the WOW6432Node
    // key already read: its entries would only come again as duplicates.
    bool viewsShared = false;
    // Reads only every slices-th entry of each source, from the slice-th on, so that several
    // threads can share a scan.
    unsigned slice = 0;
    unsigned slices = 1;
};

// The place of an entry in a whole scan: by source, then by its place among the source's
// keys. The scan gives each row its place as its id; rows read in slices are put back in
// scan order by it.
inline uint32_t ScanOrder(uint32_t source, uint32_t index) {
    return (source << 24) | (index & 0xFFFFFFu);
}

struct ListedEntry {
    std::string displayName;
    std::string uninstallString;
};

// The name and uninstall command of an entry that describes a user-visible installed
// program; nothing for a system component, minor upgrade, update or child entry. Throws
// RegistryError when one of the values it reads has an unexpected type.
std::optional<ListedEntry> FilterEntry(Registry& key);

// Builds the row of a kept entry from its open key; throws RegistryError when a column value
// is not text. The icon source is left empty: IconSource fills it without the registry.
UninstallEntry ReadEntry(Registry& key, const ListedEntry& listed, const UninstallSource& source,
                         const std::string& subKey, const Locale& locale);

// Reads all four sources (or the environment's slice of them). An entry whose values have
// unexpected types is skipped: one malformed entry never hides the entries after it.
void ScanEntries(const ScanEnvironment& env, ScanSink& sink);

// The file named by the first candidate that exists, for the icon-source column.
std::string FirstExistingFile(const std::vector<std::string>& candidates, const FileSystem& files);

// The icon-source column of a scanned row: the first existing file among its icon value and
// its uninstaller, each also without " (x86)".
std::string IconSource(const UninstallEntry& row, const FileSystem& files,
                       const SpecialFolders& folders);

}  // namespace corvandel
