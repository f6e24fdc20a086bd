#pragma once
// The text of a registry-editor import file ("Windows Registry Editor Version 5.00") for one
// uninstall entry's key with all its values and sub-keys. The console shows it and the
// backup saves exactly the same text, so every line must import back to the same data.

#include <optional>
#include <string>
#include <vector>

#include "app/registry.h"

namespace corvandel {

inline constexpr const char* kRegEditHeader = "Windows Registry Editor Version 5.00";

// rootName is "HKEY_LOCAL_MACHINE" or "HKEY_CURRENT_USER"; keyPath begins with "\".
// Returns the lines without line ends; every handle opened is closed again.
std::vector<std::string> ExportEntryLines(RegistryApi& api, const std::string& rootName,
                                          const std::string& keyPath);

// One value as a line of the import file: name part, "=", data part.
std::string ExportValueLine(const std::string& name, const RegValue& value);

// Every line followed by CR LF, as the registry editor writes its files.
// A machine-wide entry read through its WOW6432Node path stands, in the program list, also
// for the 64-bit key of the same name (the two are listed as one). This is that key's path,
// when there is one to consider.
std::optional<std::string> CompanionKeyPath(const std::string& rootName,
                                            const std::string& keyPath);

std::string JoinExportLines(const std::vector<std::string>& lines);

}  // namespace corvandel
