#pragma once
// What on the machine starts a program's files, looked for before its uninstaller runs so that
// the record of the entry can name it: shortcuts, Run and RunOnce values, services and
// scheduled tasks.

#include <string>
#include <vector>

#include "foundation/platform.h"
#include "foundation/registry.h"
#include "leftovers/program_record.h"

namespace corvandel {

// A pointer found, with what it passes the file it starts (as written, references expanded).
struct FoundPointer {
    RecordedPointer pointer;
    std::string arguments;
};

// Everything on the machine that starts a file inside `folder` (an absolute folder path), or
// runs one there through a host program (an interpreter, rundll32 ...): shortcuts (.lnk) in
// the Start menu and on the desktop, all users' and the current user's, searched recursively
// (at most a few thousand files, no link or junction followed); Run and RunOnce values under
// HKLM (both registry views) and HKCU; services whose ImagePath points into the folder;
// scheduled tasks (the XML files under the system's Tasks folder) whose <Exec> action does.
// Never throws; what cannot be read is skipped. Each pointer is named as Candidate names it
// (leftovers/leftover_rules.h); its target is the file it starts, with %NAME% references
// expanded and without quotes or arguments. Uses COM on the calling thread, which may be any
// thread.
std::vector<FoundPointer> FindPointersInto(const std::string& folder, RegistryApi& registry,
                                           const SpecialFolders& folders);

}  // namespace corvandel
