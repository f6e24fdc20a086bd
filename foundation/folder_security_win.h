#pragma once
// The owner and access list of a folder as the system keeps them, and whether this run may act
// on what the folder holds (see folder_security.h).

#include <optional>
#include <string>

#include "foundation/folder_security.h"

namespace corvandel {

// The process runs with an administrator's full token.
bool RunsElevated();

// False under Wine, which keeps no access lists of its own: every file there belongs to the one
// user, who is an administrator. The decisions are unit-tested instead.
bool AccessListsEnforced();

// The owner and access list of a file or folder; nothing when they cannot be read.
std::optional<FolderSecurity> ReadFolderSecurity(const std::string& path);

// True when the program may act on what the folder holds: it is no link, and either the
// program runs without elevation (so nothing in it can do more than its user could), or only
// the system and administrators can change it.
bool MayTrustFolder(const std::string& folder);

}  // namespace corvandel
