#pragma once
// Opening the system registry editor at an entry's key.

#include <string>

namespace corvandel {

// Starts the system registry editor at a key: the key is stored where the editor looks for
// its last position ("LastKey"), then the editor is started. True when it started.
bool JumpToRegistryKey(const std::string& key);
bool OpenRegistryKey(const std::string& rootName, const std::string& keyPath);

}  // namespace corvandel
