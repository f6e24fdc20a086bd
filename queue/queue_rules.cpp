#include "queue/queue_rules.h"

#include <algorithm>
#include <string_view>

#include "foundation/text.h"
#include "inventory/command_parse.h"

namespace corvandel {
namespace {

// ---- The entry's key ----

// The view a machine-wide row was listed from: the list reads the 64-bit view first, so a key
// that holds values there is the row's own; otherwise the row came from the 32-bit view.
uint32_t MachineView(RegistryApi& api, const std::string& relative) {
    const auto probe =
        api.Open(RootHandle(RegRoot::LocalMachine), relative, kKeyRead | kKeyWow64_64Key, false);
    bool hasValues = false;
    if (probe) {
        const auto info = api.QueryInfo(*probe);
        hasValues = info && info->values > 0;
        api.Close(*probe);
    }
    return hasValues ? kKeyWow64_64Key : kKeyWow64_32Key;
}

bool IsText(const RegValue& value) {
    return value.type == kRegSz || value.type == kRegExpandSz;
}

// A text value; empty when it is missing or holds another type, which an installer may well
// have written: the entry is then judged as if the value were not there.
std::string TextValue(Registry& key, const std::string& name) {
    const auto value = key.ReadValue(name);
    if (!value || !IsText(*value))
        return std::string();
    return RegistryBytesToUtf8(value->data.data(), value->data.size());
}

// A flag written as the number 1 (of any size) or as the text "1".
bool FlagValue(Registry& key, const std::string& name) {
    const auto value = key.ReadValue(name);
    if (!value)
        return false;
    if (IsText(*value))
        return TrimBlanks(RegistryBytesToUtf8(value->data.data(), value->data.size())) == "1";
    if (value->type != kRegDword && value->type != kRegQword)
        return false;
    const auto& data = value->data;
    if (data.empty() || data[0] != 1)
        return false;
    for (size_t i = 1; i < data.size(); ++i) {
        if (data[i] != 0)
            return false;
    }
    return true;
}

// A number stored as a DWORD or QWORD (little-endian, as the registry keeps them); nothing for
// any other type or a size that does not fit the type.
std::optional<uint64_t> NumberValue(Registry& key, const std::string& name) {
    const auto value = key.ReadValue(name);
    if (!value)
        return std::nullopt;
    const size_t size = value->type == kRegDword ? 4 : value->type == kRegQword ? 8 : 0;
    if (size == 0 || value->data.size() != size)
        return std::nullopt;
    uint64_t number = 0;
    for (size_t i = size; i-- > 0;)
        number = (number << 8) | value->data[i];
    return number;
}

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && AsciiLower(text.substr(text.size() - tail.size())) == tail;
}

// ---- Commands ----

// A command split where the child process will split it: the program as written (without
// its quotes) and the rest of the text as written.
struct Command {
    std::string program;
    std::string arguments;
    bool quoted = false;  // the program was written in quotes
};

// An unquoted path may hold blanks ("C:\Program Files\App\uninst.exe /S"): it runs up to the
// first ".exe" that ends a word. Any other unquoted program is its first word.
Command SplitCommand(std::string_view command) {
    const std::string text = TrimBlanks(command);
    std::string_view rest = text;
    if (!rest.empty() && rest[0] == '"') {
        const size_t close = rest.find('"', 1);
        if (close != std::string_view::npos)
            return {std::string(rest.substr(1, close - 1)), TrimBlanks(rest.substr(close + 1)),
                    true};
        rest.remove_prefix(1);  // an unmatched quote: read as if it were not there
    }
    const std::string_view first = rest.substr(0, rest.find_first_of(" \t"));
    size_t end = first.size();
    if (first.find_first_of("\\/:") != std::string_view::npos) {
        const std::string lower = AsciiLower(rest);
        for (size_t at = lower.find(".exe"); at != std::string::npos;
             at = lower.find(".exe", at + 1)) {
            const size_t after = at + 4;
            if (after == lower.size() || lower[after] == ' ' || lower[after] == '\t') {
                end = after;
                break;
            }
        }
    }
    return {std::string(rest.substr(0, end)), TrimBlanks(rest.substr(end))};
}

std::string BaseName(std::string_view path) {
    const size_t at = path.find_last_of("\\/");
    return std::string(at == std::string_view::npos ? path : path.substr(at + 1));
}

bool ProgramIs(const Command& command, std::string_view name) {
    const std::string base = AsciiLower(BaseName(command.program));
    return base == name || base == std::string(name) + ".exe";
}

bool RunsInstaller(const Command& command) {
    return ProgramIs(command, "msiexec");
}

bool RunsLibrary(const Command& command) {
    return ProgramIs(command, "rundll32");
}

bool IsInstallerEntry(const EntryFacts& facts) {
    return facts.windowsInstaller || RunsInstaller(SplitCommand(facts.uninstallString));
}

// The library a rundll32 command names: its first argument, up to the "," before the entry
// point.
std::string LibraryOf(const Command& command) {
    return TrimBlanks(command.arguments.substr(0, command.arguments.find(',')));
}

bool IsAbsolute(std::string_view path) {
    return path.size() >= 3 && path[1] == ':' && path[2] == '\\' &&
           ((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z'));
}

std::string NormalizedPath(std::string_view path) {
    return ReplaceAll(ReplaceAll(path, "/", "\\"), "\\\\", "\\");
}

// Expandable uninstall strings often start at the Windows folder; the list's parsing only
// knows the program and application data folders.
std::string WithWindowsFolder(std::string_view name, const SpecialFolders& folders) {
    std::string text(name);
    const std::string windows = folders.GetSpecialFolder(kCsidlWindows);
    for (const std::string_view variable : {"%systemroot%", "%windir%"}) {
        const size_t at = AsciiLower(text).find(variable);
        if (at != std::string::npos && !windows.empty())
            text.replace(at, variable.size(), windows);
    }
    return text;
}

// A file a command names, found as the list finds it.
struct NamedFile {
    std::string path;  // empty when the text names no file
    bool exists = false;
};

// The list's parsing of the name first, then the name as written. A name written with
// "%ProgramFiles%" is also looked for without " (x86)": a 32-bit program's expansion names the
// 32-bit folder, and the entry may be the 64-bit edition's. A path written out in full is
// taken as it stands: an orphaned 32-bit entry never runs the 64-bit edition's uninstaller. A
// relative name is only looked for in the system's folders (the parsing does that), never in
// this program's own folder; only such a bare name, as CreateProcess takes it, means an ".exe"
// without an extension.
NamedFile FindNamedFile(std::string_view name, const FileSystem& files,
                        const SpecialFolders& folders) {
    std::string text = WithWindowsFolder(name, folders);
    const bool bare = text.find_first_of("\\/:") == std::string::npos;
    if (bare && BaseName(text).find('.') == std::string::npos && !TrimBlanks(text).empty())
        text += ".exe";
    const bool expanded = AsciiLower(text).find("%programfiles%") != std::string::npos;
    NamedFile found{RunPath(text, files, folders), false};
    if (found.path.empty())
        return found;
    const std::string written = NormalizedPath(TrimBlanks(ReplaceAll(text, "\"", "")));
    // Each path is asked once, as the file system compares names: a file call costs far more
    // than the comparison.
    std::vector<std::string> asked;
    for (const std::string& candidate : {found.path, written}) {
        std::vector<std::string> paths = {candidate};
        if (expanded) {
            paths.push_back(ReplaceAll(candidate, " (x86)", ""));
            paths.push_back(ReplaceAll(candidate, " (X86)", ""));
        }
        for (const std::string& path : paths) {
            if (std::find(asked.begin(), asked.end(), AsciiLower(path)) != asked.end())
                continue;
            asked.push_back(AsciiLower(path));
            if (IsAbsolute(path) && files.FileExists(path)) {
                found.path = path;
                found.exists = true;
                return found;
            }
        }
    }
    return found;
}

bool IsProgramFile(std::string_view path) {
    return EndsWithNoCase(path, ".exe") || EndsWithNoCase(path, ".com");
}

// The first word quoted when it holds blanks, so that the child reads it as one word, or when
// the entry wrote it in quotes.
std::string CommandLine(const std::string& program, const std::string& arguments,
                        bool quoted = false) {
    const bool quote = quoted || program.find_first_of(" \t") != std::string::npos;
    std::string line = quote ? "\"" + program + "\"" : program;
    if (!arguments.empty())
        line += " " + arguments;
    return line;
}

QueueLaunch Refused(LaunchReason reason) {
    return QueueLaunch{reason, std::nullopt};
}

QueueLaunch Started(LaunchReason reason, std::string application, const std::string& program,
                    const std::string& arguments, bool quoted = false) {
    return QueueLaunch{
        reason, ProcessLaunch{std::move(application), CommandLine(program, arguments, quoted)}};
}

// The launch of a command taken from the entry. msiexec commands are never taken as written:
// the installer is only ever started with arguments made here from a checked product code.
// An unquoted command that names a path with blanks ("C:\Program Files\App\uninstall /S")
// is split where an existing program file ends, never guessed: CreateProcess would try
// "C:\Program.exe" first. Every beginning of the line up to a blank is asked; one that names
// a program file is the program. Nothing when none does (the usual reading then applies); the
// count tells when more than one does.
struct UnquotedSplit {
    Command command;
    int found = 0;
};
UnquotedSplit SplitUnquotedByFiles(std::string_view command, const FileSystem& files,
                                   const SpecialFolders& folders) {
    UnquotedSplit split;
    const std::string text = TrimBlanks(command);
    if (text.empty() || text[0] == '"' || text.find_first_of(" \t") == std::string::npos ||
        text.substr(0, text.find_first_of(" \t")).find_first_of("\\/:") == std::string::npos)
        return split;
    for (size_t end = text.find_first_of(" \t");; end = text.find_first_of(" \t", end + 1)) {
        const std::string prefix = text.substr(0, end);
        // The file itself, as written (the list's parsing would cut the text at an ".exe").
        std::string path = NormalizedPath(WithWindowsFolder(prefix, folders));
        const size_t variable = AsciiLower(path).find("%programfiles%");
        if (variable != std::string::npos)
            path.replace(variable, 14, folders.GetSpecialFolder(kCsidlProgramFiles));
        if (IsAbsolute(path) && IsProgramFile(path) && files.FileExists(path)) {
            if (++split.found == 1)
                split.command = {prefix, end == std::string::npos ? std::string()
                                                                  : TrimBlanks(text.substr(end))};
        }
        if (end == std::string::npos)
            break;
    }
    return split;
}

QueueLaunch LaunchOf(LaunchReason reason, const std::string& command, const FileSystem& files,
                     const SpecialFolders& folders, const std::string& systemFolder) {
    Command parts = SplitCommand(command);
    const UnquotedSplit unquoted = SplitUnquotedByFiles(command, files, folders);
    if (unquoted.found > 1)
        return Refused(LaunchReason::AmbiguousPath);
    if (unquoted.found == 1)
        parts = unquoted.command;
    if (parts.program.empty() || RunsInstaller(parts))
        return Refused(LaunchReason::NoCommand);
    if (RunsLibrary(parts)) {
        const std::string library = LibraryOf(parts);
        if (library.empty() || systemFolder.empty())
            return Refused(LaunchReason::NoCommand);
        if (!FindNamedFile(library, files, folders).exists)
            return Refused(LaunchReason::UninstallerMissing);
        const std::string rundll = systemFolder + "\\rundll32.exe";
        return Started(reason, rundll, rundll, parts.arguments);
    }
    const NamedFile program = FindNamedFile(parts.program, files, folders);
    // Anything but a program file (a batch file, say) would need a command interpreter.
    if (!IsProgramFile(program.path))
        return Refused(LaunchReason::NoCommand);
    if (!program.exists)
        return Refused(LaunchReason::UninstallerMissing);
    // The first word as written, unless the file was found under another name.
    const bool sameFile = AsciiLower(NormalizedPath(parts.program)) == AsciiLower(program.path);
    return Started(reason, program.path, sameFile ? parts.program : program.path, parts.arguments,
                   parts.quoted);
}

std::optional<ProcessLaunch> InstallerLaunch(const std::string& systemFolder,
                                             const std::string& arguments) {
    if (systemFolder.empty())
        return std::nullopt;
    const std::string msiexec = systemFolder + "\\msiexec.exe";
    return ProcessLaunch{msiexec, CommandLine(msiexec, arguments)};
}

QueueLaunch InstallerUninstall(LaunchReason reason, const std::string& code,
                               const std::string& switches, const std::string& systemFolder) {
    auto launch = InstallerLaunch(systemFolder, "/X" + code + switches);
    return launch ? QueueLaunch{reason, std::move(launch)} : Refused(LaunchReason::NoCommand);
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsProductCode(std::string_view text) {
    if (text.size() != 38 || text.front() != '{' || text.back() != '}')
        return false;
    for (size_t i = 1; i < 37; ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? text[i] != '-' : !IsHexDigit(text[i]))
            return false;
    }
    return true;
}

QueueLaunch InteractiveUninstall(const EntryFacts& facts, const std::optional<std::string>& code,
                                 const FileSystem& files, const SpecialFolders& folders,
                                 const std::string& systemFolder) {
    if (code && IsInstallerEntry(facts))
        return InstallerUninstall(LaunchReason::Interactive, *code, "", systemFolder);
    return LaunchOf(LaunchReason::Interactive, facts.uninstallString, files, folders, systemFolder);
}

}  // namespace

std::optional<EntryFacts> ReadEntryFacts(RegistryApi& api, const std::string& rootName,
                                         const std::string& keyPath) {
    const bool machine = rootName == "HKEY_LOCAL_MACHINE";
    if ((!machine && rootName != "HKEY_CURRENT_USER") || TrimBlanks(keyPath).empty())
        return std::nullopt;
    const std::string path = keyPath[0] == '\\' ? keyPath : "\\" + keyPath;
    std::string_view name = path;
    while (!name.empty() && name.back() == '\\')
        name.remove_suffix(1);
    const std::string keyName = BaseName(name);
    if (keyName.empty())
        return std::nullopt;
    const uint32_t view = machine ? MachineView(api, path.substr(1)) : kKeyWow64_32Key;
    Registry key(api, kKeyRead | view);
    key.SetRootKey(machine ? RegRoot::LocalMachine : RegRoot::CurrentUser);
    if (!key.OpenKey(path, false))
        return std::nullopt;

    EntryFacts facts;
    facts.keyName = keyName;
    facts.uninstallString = TextValue(key, "UninstallString");
    facts.quietUninstallString = TextValue(key, "QuietUninstallString");
    facts.modifyPath = TextValue(key, "ModifyPath");
    facts.displayName = TextValue(key, "DisplayName");
    facts.publisher = TextValue(key, "Publisher");
    facts.installLocation = TextValue(key, "InstallLocation");
    facts.displayIcon = TextValue(key, "DisplayIcon");
    facts.windowsInstaller = FlagValue(key, "WindowsInstaller");
    facts.noModify = FlagValue(key, "NoModify");
    facts.noRepair = FlagValue(key, "NoRepair");
    facts.innoSetupValues =
        EndsWithNoCase(facts.keyName, "_is1") || key.ReadValue("Inno Setup: App Path").has_value();
    facts.estimatedSizeKib = NumberValue(key, "EstimatedSize");
    return facts;
}

std::optional<std::string> ProductCode(const EntryFacts& facts) {
    if (IsProductCode(facts.keyName))
        return facts.keyName;
    const std::string& command = facts.uninstallString;
    for (size_t at = command.find('/'); at != std::string::npos; at = command.find('/', at + 1)) {
        if (at + 1 >= command.size())
            break;
        const char option = command[at + 1];
        if (option != 'i' && option != 'I' && option != 'x' && option != 'X')
            continue;
        // msiexec also reads the code as a separate word ("/X {...}").
        const size_t from = command.find_first_not_of(" \t", at + 2);
        if (from == std::string::npos)
            break;
        const std::string candidate = command.substr(from, 38);
        if (IsProductCode(candidate))
            return candidate;
    }
    return std::nullopt;
}

UninstallerMaker RecognizeUninstaller(const std::string& fileName, const std::string& bytes) {
    // NSIS's first header follows its program at a 512-byte boundary: flags (bit 0: an
    // uninstaller), 0xDEADBEEF, "NullsoftInst".
    static constexpr std::string_view kFirstHeader("\xEF\xBE\xAD\xDENullsoftInst", 16);
    for (size_t at = 0; at + 20 <= bytes.size(); at += 512) {
        if (std::string_view(bytes).substr(at + 4, 16) == kFirstHeader &&
            (static_cast<unsigned char>(bytes[at]) & 1) != 0)
            return UninstallerMaker::Nsis;
    }
    const std::string base = AsciiLower(BaseName(fileName));
    const bool innoName = base.size() == 12 && base.compare(0, 5, "unins") == 0 && base[5] >= '0' &&
                          base[5] <= '9' && base[6] >= '0' && base[6] <= '9' && base[7] >= '0' &&
                          base[7] <= '9' && base.compare(8, 4, ".exe") == 0;
    static constexpr char kWideMark[] = "I\0n\0n\0o\0 \0S\0e\0t\0u\0p\0";
    if (innoName && (Contains(bytes, "Inno Setup") ||
                     Contains(bytes, std::string_view(kWideMark, sizeof kWideMark - 1)))) {
        return UninstallerMaker::InnoSetup;
    }
    return UninstallerMaker::Unknown;
}

QueueLaunch PlanQueuedUninstall(const EntryFacts& facts, QueueMode mode, UninstallerMaker maker,
                                const FileSystem& files, const SpecialFolders& folders,
                                const std::string& systemFolder) {
    const auto code = ProductCode(facts);
    if (mode == QueueMode::Interactive)
        return InteractiveUninstall(facts, code, files, folders, systemFolder);

    // An entry's own quiet msiexec command counts as the installer's quiet way, made again
    // from the checked product code.
    // Otherwise the entry's own quiet command decides alone: when the file it names is gone,
    // the entry's uninstaller is reported missing rather than run another way.
    // Inno Setup writes "/SILENT" as an entry's own quiet command, which still shows message
    // boxes and asks to restart: an Inno Setup entry is always run very silently.
    const Command uninstall = SplitCommand(facts.uninstallString);
    if (facts.innoSetupValues && !uninstall.program.empty() && !RunsInstaller(uninstall)) {
        return LaunchOf(LaunchReason::InnoSetup,
                        facts.uninstallString + " /VERYSILENT /SUPPRESSMSGBOXES /NORESTART", files,
                        folders, systemFolder);
    }
    const Command quiet = SplitCommand(facts.quietUninstallString);
    if (!quiet.program.empty() && !RunsInstaller(quiet)) {
        return LaunchOf(LaunchReason::QuietUninstallString, facts.quietUninstallString, files,
                        folders, systemFolder);
    }
    if (code && (IsInstallerEntry(facts) || RunsInstaller(quiet))) {
        return InstallerUninstall(LaunchReason::WindowsInstaller, *code, " /qn /norestart",
                                  systemFolder);
    }
    if (!uninstall.program.empty() && !RunsInstaller(uninstall)) {
        if (maker == UninstallerMaker::InnoSetup) {
            return LaunchOf(LaunchReason::InnoSetup,
                            facts.uninstallString + " /VERYSILENT /SUPPRESSMSGBOXES /NORESTART",
                            files, folders, systemFolder);
        }
        if (maker == UninstallerMaker::Nsis) {
            // "_?=" takes the rest of the line as the folder: "/S" goes before it.
            std::string command = facts.uninstallString;
            const size_t folder = AsciiLower(command).find("_?=");
            if (folder == std::string::npos)
                command += " /S";
            else
                command.insert(folder, "/S ");
            return LaunchOf(LaunchReason::Nsis, command, files, folders, systemFolder);
        }
    }
    QueueLaunch interactive = InteractiveUninstall(facts, code, files, folders, systemFolder);
    if (mode == QueueMode::QuietOnly && interactive.launch)
        return Refused(LaunchReason::NoQuietWay);
    // A missing uninstaller is reported as such, also when quiet only was asked.
    return interactive;
}

std::optional<ProcessLaunch> PlanModify(const EntryFacts& facts, const FileSystem& files,
                                        const SpecialFolders& folders,
                                        const std::string& systemFolder) {
    if (facts.noModify)
        return std::nullopt;
    const Command modify = SplitCommand(facts.modifyPath);
    if (!modify.program.empty() && !RunsInstaller(modify))
        return LaunchOf(LaunchReason::Interactive, facts.modifyPath, files, folders, systemFolder)
            .launch;
    const auto code = ProductCode(facts);
    if (code && (IsInstallerEntry(facts) || RunsInstaller(modify)))
        return InstallerLaunch(systemFolder, "/I" + *code);
    return std::nullopt;
}

std::optional<ProcessLaunch> PlanRepair(const EntryFacts& facts, const std::string& systemFolder) {
    if (facts.noRepair || !IsInstallerEntry(facts))
        return std::nullopt;
    const auto code = ProductCode(facts);
    return code ? InstallerLaunch(systemFolder, "/fa" + *code) : std::nullopt;
}

bool UninstallerIsMissing(const std::string& uninstallString, const FileSystem& files,
                          const SpecialFolders& folders) {
    const Command parts = SplitCommand(uninstallString);
    // The system's installer is always there. An msiexec command without a readable code is
    // not called broken either: the entry's key name may still hold the code, and an entry
    // called broken may be deleted.
    if (parts.program.empty() || RunsInstaller(parts))
        return false;
    const std::string named = RunsLibrary(parts) ? LibraryOf(parts) : parts.program;
    if (named.empty())
        return false;
    const NamedFile file = FindNamedFile(named, files, folders);
    return !file.path.empty() && !file.exists;
}

QueueOutcome DecideOutcome(const RunResult& result) {
    if (!result.started || result.timedOut)
        return QueueOutcome{QueueState::Failed, false};
    constexpr uint32_t kRestartRequired = 3010;
    constexpr uint32_t kRestartInitiated = 1641;
    constexpr uint32_t kUserCancelled = 1602;
    const bool restart =
        result.exitCode == kRestartRequired || result.exitCode == kRestartInitiated;
    if (!result.entryPresent)
        return QueueOutcome{QueueState::Removed, restart};
    if (result.exitCode == 0 || restart)
        return QueueOutcome{QueueState::StillListed, restart};
    if (result.exitCode == kUserCancelled)
        return QueueOutcome{QueueState::Cancelled, false};
    return QueueOutcome{QueueState::Failed, false};
}

}  // namespace corvandel
