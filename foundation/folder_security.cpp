#include "foundation/folder_security.h"

#include <algorithm>

namespace corvandel {

namespace {

// The system, the local administrators and the installer service (TrustedInstaller).
bool IsTrusted(const std::string& sid) {
    return sid == "S-1-5-18" || sid == "S-1-5-32-544" ||
           sid == "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
}

// Rights that change a folder's contents or its protection: write or append data (add a file
// or a folder), extended attributes and attributes, delete a child or the folder itself, the
// access list and the owner, and the generic rights that include them.
constexpr uint32_t kWriteRights =
    0x2 | 0x4 | 0x10 | 0x40 | 0x100 | 0x10000 | 0x40000 | 0x80000 | 0x10000000 | 0x40000000;

}  // namespace

bool OnlyAdministratorsWrite(const FolderSecurity& security) {
    if (!security.hasAccessList || !IsTrusted(security.owner))
        return false;
    return std::none_of(security.entries.begin(), security.entries.end(),
                        [](const AccessEntry& entry) {
                            const bool creatorOwner = entry.sid == "S-1-3-0" && entry.inheritOnly;
                            return entry.allow && (entry.mask & kWriteRights) != 0 &&
                                   !IsTrusted(entry.sid) && !creatorOwner;
                        });
}

}  // namespace corvandel
