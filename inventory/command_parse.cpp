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

}  // namespace corvandel
