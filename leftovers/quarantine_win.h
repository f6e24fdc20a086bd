#pragma once
// Removing chosen leftovers into a quarantine folder beside the backups, and putting a clean-up
// back. Files are moved one by one (a file in use stays where it is, and so does its folder),
// with their times and attributes noted; links are moved as links, never followed. Registry
// keys and values are saved first, to the clean-up's list and to a ".reg" file, and deleted
// only once that is written.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "foundation/registry.h"
#include "leftovers/leftover_rules.h"
#include "leftovers/program_record.h"
#include "leftovers/quarantine.h"

namespace corvandel {

// Something that stayed where it was, and the system's reason.
struct LeftInPlace {
    std::string item;
    uint32_t error = 0;
};

struct CleanupOutcome {
    std::string folder;  // the clean-up's folder; empty when nothing could be kept there
    size_t removed = 0;  // offers removed whole
    std::vector<LeftInPlace> leftInPlace;
};

// The record a record file holds; nothing for a file that is missing, unreadable or not a
// whole record.
std::optional<ProgramRecord> ReadRecordFile(const std::string& path);

// The file in a clean-up's folder that lists what it holds.
inline constexpr const char* kCleanupListName = "cleanup.txt";

// Moves the chosen offers into a new folder under quarantineRoot (which ends with a
// separator). Services and tasks are not the clean-up's to remove and stay as they are. Never
// throws; with no folder to keep them in, nothing is removed.
CleanupOutcome RemoveIntoQuarantine(const std::vector<Offer>& chosen, const std::string& programs,
                                    const std::string& quarantineRoot, RegistryApi& registry);

struct KeptCleanup {
    std::string folder;  // with its separator
    CleanupList list;
    uint64_t written = 0;  // when its list was written (the system's 100 ns units)
    uint64_t bytes = 0;    // of the files it holds
};

// The clean-ups under quarantineRoot whose lists can be read, oldest first.
std::vector<KeptCleanup> ListCleanups(const std::string& quarantineRoot);

// Deletes a clean-up's folder and everything in it, for good. A link or junction in it is
// removed as itself, never followed. False when something stays.
bool DeleteCleanup(const std::string& folder);

// Deletes the clean-ups whose lists were written before `before` (the system's 100 ns units);
// how many went.
size_t DeleteCleanupsBefore(const std::string& quarantineRoot, uint64_t before);

// Puts back what a clean-up holds: every file to its place with its times and attributes,
// every key and value into the view it came from. Nothing is overwritten: an item whose place
// is taken again stays in the quarantine and is named. When everything is back the clean-up's
// folder goes; otherwise its list keeps what is still there.
std::vector<LeftInPlace> RestoreCleanup(const std::string& folder, RegistryApi& registry);

// As RestoreCleanup, after the records the clean-up took (its programs' records, kept in its
// folder) go back into recordFolder first: its programs' leftovers can then be looked for
// again.
std::vector<LeftInPlace> RestoreCleanupWithRecords(const std::string& folder,
                                                   const std::string& recordFolder,
                                                   RegistryApi& registry);

}  // namespace corvandel
