#pragma once
// Uninstall entries hold command lines, not file names. These rules find the file a command
// names and cut out its parameters. They never fail on odd input.

#include <string>
#include <string_view>

#include "foundation/platform.h"

namespace corvandel {

// What follows a three-letter extension: from the fourth character after the last ".",
// when that "." comes after the last "\" or ":"; otherwise empty.
std::string ExtensionTail(std::string_view text);

// The file a command names, lower-cased unless found in a special folder; possibly not an
// existing file, possibly empty.
std::string RunPath(std::string_view command, const FileSystem& files,
                    const SpecialFolders& folders);

// The parameters part of a command: from the first " /", " *", " -" or ",", trimmed.
std::string EraseParam(std::string_view command);

}  // namespace corvandel
