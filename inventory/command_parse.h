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

// A Windows Installer product code: "{", then 8-4-4-4-12 hexadecimal digits, then "}".
bool IsProductCode(std::string_view text);

// The product code right after "/I" or "/X" (either case) in a command; empty when there is
// none or it is not well formed.
std::string CommandProductCode(std::string_view command);

// True when the command's program file, as RunPath resolves it, is a local file that does not
// exist, nor its variant without " (x86)". An installer-service (msiexec) command counts by its
// product code, a rundll32 command by the library it names. An empty command, a bare program
// name the system may find on its path and a network path are not judged: false.
bool UninstallerIsMissing(std::string_view command, const FileSystem& files,
                          const SpecialFolders& folders);

}  // namespace corvandel
