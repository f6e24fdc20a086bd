#include "inventory/command_parse.h"

#include "foundation/text.h"

namespace corvandel {

std::string ExtensionTail(std::string_view text) {
    const size_t last = text.find_last_of(".\\:");
    if (last == std::string_view::npos || text[last] != '.')
        return std::string();
    const size_t from = last + 4;
    if (from >= text.size())
        return std::string();
    return std::string(text.substr(from));
}

namespace {

std::string CollapseBackslashes(std::string_view text) {
    return ReplaceAll(text, "\\\\", "\\");
}

// Cuts the text right after the end of the first occurrence of part.
std::string CutAfter(const std::string& text, std::string_view part) {
    return text.substr(0, text.find(part) + part.size());
}

}  // namespace

std::string RunPath(std::string_view command, const FileSystem& files,
                    const SpecialFolders& folders) {
    std::string s = AsciiLower(TrimBlanks(command));
    s = ReplaceAll(s, "\\\\", "\\");
    s = ReplaceAll(s, "\"", "");
    s = ReplaceAll(s, "/", "\\");
    s = ReplaceAll(s, "%programfiles%", AsciiLower(folders.GetSpecialFolder(kCsidlProgramFiles)));
    s = ReplaceAll(s, "%appdata%", AsciiLower(folders.GetSpecialFolder(kCsidlAppData)));
    s = ReplaceAll(s, "rundll32.exe ", "");
    s = ReplaceAll(s, "rundll32 ", "");
    if (const size_t at = s.find("launchsetup"); at != std::string::npos)
        s.erase(at, 11);

    std::string name = s.substr(0, s.size() - ExtensionTail(s).size());
    if (Contains(name, ".dll") && !Contains(name, "launchsetup")) {
        name = CutAfter(name, ".dll");
    } else if (Contains(name, ".exe")) {
        name = CutAfter(name, ".exe");
    }
    if (name == "msiexec")
        name = "msiexec.exe";

    std::string result;
    if (Contains(name, ":\\") || name.rfind("\\\\", 0) == 0) {
        const std::string candidate = CollapseBackslashes(ReplaceAll(name, "/", "\\"));
        result = files.FileExists(candidate) ? candidate : name;
    } else {
        result = CollapseBackslashes(name);
        for (int csidl : {kCsidlSystem, kCsidlWindows, kCsidlAppData}) {
            const std::string candidate =
                CollapseBackslashes(folders.GetSpecialFolder(csidl) + "\\" + name);
            if (files.FileExists(candidate)) {
                result = candidate;
                break;
            }
        }
    }
    return ReplaceAll(CollapseBackslashes(result), "/", "\\");
}

std::string EraseParam(std::string_view command) {
    for (size_t i = 0; i < command.size(); ++i) {
        const bool pair = command[i] == ' ' && i + 1 < command.size() &&
                          (command[i + 1] == '/' || command[i + 1] == '*' || command[i + 1] == '-');
        if (pair || command[i] == ',')
            return TrimBlanks(command.substr(i));
    }
    return std::string();
}

bool IsProductCode(std::string_view text) {
    static constexpr std::string_view kShape = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
    if (text.size() != kShape.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (kShape[i] == 'X' ? !hex : c != kShape[i])
            return false;
    }
    return true;
}

std::string CommandProductCode(std::string_view command) {
    const std::string lower = AsciiLower(command);
    for (const std::string_view sw : {"/x", "/i"}) {
        for (size_t at = lower.find(sw); at != std::string::npos; at = lower.find(sw, at + 1)) {
            const std::string_view code = command.substr(at + 2, 38);
            if (IsProductCode(code))
                return std::string(code);
        }
    }
    return std::string();
}

namespace {

// The command's first word without quotes, lower case: the program a shell would start.
std::string FirstWord(std::string_view command) {
    const std::string text = TrimBlanks(command);
    if (!text.empty() && text[0] == '"') {
        const size_t end = text.find('"', 1);
        return AsciiLower(text.substr(1, end == std::string::npos ? std::string::npos : end - 1));
    }
    return AsciiLower(text.substr(0, text.find(' ')));
}

bool NamesProgram(const std::string& word, std::string_view program) {
    const size_t slash = word.find_last_of("\\/");
    const std::string name = slash == std::string::npos ? word : word.substr(slash + 1);
    return name == program || name == std::string(program) + ".exe";
}

bool IsLocalPath(const std::string& path) {
    return path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
}

bool LocalFileMissing(const std::string& path, const FileSystem& files) {
    if (!IsLocalPath(path))
        return false;
    return !files.FileExists(path) && !files.FileExists(ReplaceAll(path, " (x86)", ""));
}

}  // namespace

bool UninstallerIsMissing(std::string_view command, const FileSystem& files,
                          const SpecialFolders& folders) {
    const std::string program = FirstWord(command);
    if (program.empty())
        return false;
    if (NamesProgram(program, "msiexec"))
        return false;  // the installer service itself is always there
    if (NamesProgram(program, "rundll32")) {
        // The library is the first argument, up to the comma before its entry point.
        std::string rest = TrimBlanks(command);
        rest = rest[0] == '"' ? rest.substr(std::min(rest.find('"', 1), rest.size() - 1) + 1)
                              : rest.substr(std::min(rest.find(' '), rest.size()));
        rest = ReplaceAll(TrimBlanks(rest.substr(0, rest.find(','))), "\"", "");
        if (rest.empty())
            return false;
        if (!IsLocalPath(rest)) {
            const std::string system = folders.GetSpecialFolder(kCsidlSystem);
            return !system.empty() && !files.FileExists(system + "\\" + rest) &&
                   !files.FileExists(folders.GetSpecialFolder(kCsidlWindows) + "\\" + rest);
        }
        return LocalFileMissing(rest, files);
    }
    return LocalFileMissing(RunPath(command, files, folders), files);
}

}  // namespace corvandel
