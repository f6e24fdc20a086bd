#pragma once
// SHA-256 of a file's bytes with the system's cryptography library (CNG), read in pieces so
// that a file of any size costs a small buffer.

#include <optional>
#include <string>

namespace corvandel {

// Lower-case hex; nothing when the file cannot be read whole or the system cannot hash.
std::optional<std::string> FileSha256(const std::wstring& path);

}  // namespace corvandel
