#pragma once
// The folder the records and clean-ups of this copy live in, checked before use (see
// data_folder.h), and the checks of other folders whose files an elevated program would act on.

#include <optional>
#include <string>

#include "leftovers/data_folder.h"

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

struct DataFolder {
    std::string root;     // with a trailing separator; empty when the folder is refused
    std::string refused;  // the folder refused, to be named to the user
};

// A portable copy keeps its records and clean-ups beside its executable; an installed copy in
// "Corvandel" under the machine's ProgramData, made with an access list that lets only the
// system and administrators change it (and whatever an older version kept beside the installed
// executable moves there). Refused, with the folder named, when MayTrustFolder says no.
DataFolder SteeringDataFolder(bool portable);

}  // namespace corvandel
