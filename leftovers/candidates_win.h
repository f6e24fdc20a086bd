#pragma once
// The walk over the machine that finds what a removed program may have left behind, and the
// facts about the machine the clean-up's guards weigh it against.

#include <string>
#include <string_view>
#include <vector>

#include "foundation/platform.h"
#include "foundation/registry.h"
#include "leftovers/leftover_rules.h"
#include "leftovers/program_record.h"

namespace corvandel {

// What exists now that a record may tie to its program: the install folder and everything in
// it (files and folders; links and junctions reported as such and never entered; files in use
// marked), folders named after the program inside the publisher's folder under the roaming and
// local application data and ProgramData, and what is inside them; the files the record's
// uninstaller and icon name; what FindPointersInto finds for the install folder; and the keys
// Software\<publisher>\<program> under HKCU and HKLM (both views) that exist. At most 20,000
// items and 32 folders deep; never throws; what cannot be read is skipped.
std::vector<Candidate> FindCandidates(const ProgramRecord& record, RegistryApi& registry,
                                      const SpecialFolders& folders);

// What the guards need to know of the machine: the known folders of the current user and of
// all users, the Windows folder, the data folders, the environment variables paths refer to,
// and every other program the four uninstall sources list (the record's own entry left out)
// with the files its uninstaller and icon name. Never throws; what cannot be read is left out.
MachineFacts ReadMachineFacts(const ProgramRecord& record, RegistryApi& registry,
                              const SpecialFolders& folders);

// The path as the file system names it: the long names of the part that exists, in their own
// case, with links and junctions resolved (a share as "\\server\share\..."), and the rest as
// written. Text that is no absolute path comes back as it is.
std::string FileSystemPath(const std::string& path,
                           const std::vector<EnvironmentVariable>& environment);

// A path on a share or a network drive (as FileSystemPath gives it).
bool IsNetworkPath(std::string_view path);

// The record with its folder, files and pointer targets as the file system names them; a
// folder or file on a network volume is dropped, so that nothing there is offered.
ProgramRecord InFileSystemTerms(const ProgramRecord& record,
                                const std::vector<EnvironmentVariable>& environment);

// The whole search for one record, as the leftovers window and the command line both run it:
// the machine's facts and the candidates, every path in the file system's terms (so that a
// short alias, a "\\?\" or share form of a local path, a junction or another case names the
// same thing as its plain form), weighed by FindLeftovers.
std::vector<Offer> SearchLeftovers(const ProgramRecord& record, RegistryApi& registry,
                                   const SpecialFolders& folders);

}  // namespace corvandel
