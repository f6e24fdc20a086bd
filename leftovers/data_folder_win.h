#pragma once
// The folder the records and clean-ups of this copy live in, checked before use
// (foundation/folder_security.h).

#include <optional>
#include <string>

#include "foundation/folder_security_win.h"

namespace corvandel {

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
