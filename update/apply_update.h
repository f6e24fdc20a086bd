#pragma once
// What applying a downloaded update writes: the installer's command line for a quick
// update, and the batch script that replaces a portable copy's files from its archive.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvandel {

// The installer's name for a language chosen in the program (a language file's base name,
// read from the user's settings, so anything at all): one of the installer's own languages,
// its default for any other text. Nothing else of the settings reaches the installer, which
// often runs elevated.
std::string InstallerLanguage(const std::string& language);

// The installer's switches for an unattended update in the given language.
std::string InstallerParameters(const std::string& language);

// "update_" + hhnnss + ".bat" for a time of day.
std::string UpdateScriptName(int hour, int minute, int second);

// A value written between double quotes of a batch line: "%" is doubled so that it stays a
// "%" instead of starting a variable's name.
std::string BatchQuoted(const std::string& value);

// How the script's bytes are read back by the command processor.
enum class ScriptEncoding {
    ConsoleCodePage,  // every character fits the console's code page
    Utf8,             // written as UTF-8; the script switches the console to it first
};

// What the script needs of the machine: the system folder, whose programs it calls by their
// full paths (never whatever a search of the folders finds first), and the process id of the
// program it replaces.
struct ScriptMachine {
    std::string systemFolder;  // without a trailing "\"
    unsigned long processId = 0;
    // The verified archive's SHA-256 (lower-case hex): the script reads the archive once and
    // extracts those bytes only when they are still the verified ones.
    std::string archiveSha256;
};

// The script's lines, as UTF-8 text, for the program's folder (ending in "\"), the
// executable's file name and the archive's file name: end the program (its own process, not
// every process of its name), extract the archive over the folder (when it is still the
// verified one), delete it, start the program again and delete the script.
std::vector<std::string> PortableUpdateScript(const std::string& folder, const std::string& exeName,
                                              const std::string& zipName, ScriptEncoding encoding,
                                              const ScriptMachine& machine);

// The entry names of a ZIP archive, from its central directory; nothing when the archive
// cannot be read so (cut off, ZIP64, a directory that points outside the bytes).
std::optional<std::vector<std::string>> ArchiveEntryNames(std::string_view zip);

// True when every entry of the archive lands inside the folder it is extracted into: no
// "..", no rooted or drive path, no empty name. An archive that cannot be read fails too.
bool ArchiveStaysInFolder(std::string_view zip);

// The lines joined with CR LF after each, the last included.
std::string JoinScriptLines(const std::vector<std::string>& lines);

}  // namespace corvandel
