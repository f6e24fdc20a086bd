#pragma once
// The record kept of an entry just before its uninstaller runs: its key's values as they are
// then and whatever on the machine points into its folder, written into the copy's data
// folder, so that what the program leaves behind can be tied to it later, also after a crash
// or a restart.

#include <string>

#include "foundation/platform.h"
#include "foundation/registry.h"
#include "leftovers/data_folder_win.h"

namespace corvandel {

// Where this copy keeps its records and clean-ups (leftovers/data_folder_win.h): checked
// once, before first use.
const DataFolder& ThisCopysDataFolder();

// "records\" in the data folder: the backups page and its "delete all" leave the records
// alone. Empty when the data folder is refused.
std::string RecordFolder();

// "quarantine\" in the data folder: a folder for each clean-up, with what it removed. Empty
// when the data folder is refused.
std::string QuarantineFolder();

// Makes and writes the record of a listed entry (its root name and key path as the list holds
// them); the file's path. Empty when the key is gone, the entry is this running copy's own or
// the file cannot be written: the uninstall goes on without it. Safe off the window's thread with
// its own registry and folders.
std::string KeepRecord(RegistryApi& registry, const FileSystem& files,
                       const SpecialFolders& folders, const std::string& rootName,
                       const std::string& keyPath);

}  // namespace corvandel
