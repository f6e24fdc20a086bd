#pragma once
// Whether a folder's files may steer what the program does when it runs elevated (a record
// decides what is offered and ticked, a clean-up's list what a restore writes, a backup what
// an import writes into the machine's keys): only when no one but the system and
// administrators can change them. Otherwise unelevated code in the same session could plant
// such a file and have the elevated program act on it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvandel {

// One entry of a folder's access list, as the decision needs it.
struct AccessEntry {
    bool allow = true;         // an allowing entry; a denying one takes nothing away here
    std::string sid;           // "S-1-5-32-544"
    uint32_t mask = 0;         // the rights it grants
    bool inheritOnly = false;  // applies to what is created inside, not to the folder
};

struct FolderSecurity {
    std::string owner;          // the owner's SID; the owner may always rewrite the access list
    bool hasAccessList = true;  // no access list at all lets everyone do everything
    std::vector<AccessEntry> entries;
};

// True when only the system, the administrators and the installer service may change what the
// folder holds or who may: its owner is one of them, and no entry grants anyone else a right
// to write, add, delete or change the access list. Entries for "creator owner" that only pass
// to what is created inside count as the creator's, who needed such a right to create.
bool OnlyAdministratorsWrite(const FolderSecurity& security);

}  // namespace corvandel
