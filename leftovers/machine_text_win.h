#pragma once
// Small readers the leftover searches share: text values of registry keys, command lines and
// paths as uninstall entries, Run values and services write them.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/files_win.h"
#include "foundation/registry.h"

namespace corvandel {

// %NAME% references replaced by the process's environment; the text as it was when that fails.
std::string Expanded(const std::string& text);

// The text without blanks around it and without one pair of quotes around the rest.
std::string Unquoted(std::string_view text);

// The file a command line starts: the quoted first word, or else an unquoted path up to the
// first ".exe" that ends a word, or else the first word. For rundll32, the library it loads.
// The arguments are the rest, without blanks around them.
struct StartedFile {
    std::string program;
    std::string arguments;
};
StartedFile StartedFileOf(std::string_view command);

// A text value's content; nothing for a missing value, another type or an oversized one.
std::optional<std::string> TextValue(Registry& key, const std::string& name);

// The 32-bit registry view is a view of its own only on 64-bit Windows.
bool HasSeparate32BitView();

// One file or folder of a folder listing.
struct FolderEntry {
    std::wstring name;
    uint32_t attributes = 0;
    uint64_t bytes = 0;  // a file's size
};

// Calls `entry` with each file and folder in `folder` (as the file calls take it; "." and ".."
// left out) until it returns false.
void ForEachFolderEntry(const std::wstring& folder,
                        const std::function<bool(const FolderEntry& entry)>& entry);

}  // namespace corvandel
