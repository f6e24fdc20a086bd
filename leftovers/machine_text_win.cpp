#include "leftovers/machine_text_win.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "foundation/handle_win.h"
#include "foundation/text.h"
#include "foundation/win_text.h"

namespace corvandel {
namespace {

// A command line fits in 32767 characters; longer registry text is not a command.
constexpr int64_t kMaxValueBytes = 64 * 1024;
constexpr DWORD kMaxExpandedChars = 32768;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

// %NAME% references replaced by the process's environment; the text as it was when that fails.
std::string Expanded(const std::string& text) {
    if (text.find('%') == std::string::npos)
        return text;
    const std::wstring wide = Widen(text);
    const DWORD needed = ExpandEnvironmentStringsW(wide.c_str(), nullptr, 0);
    if (needed == 0 || needed > kMaxExpandedChars)
        return text;
    std::wstring result(needed, L'\0');
    const DWORD written = ExpandEnvironmentStringsW(wide.c_str(), result.data(), needed);
    if (written == 0 || written > needed)
        return text;
    result.resize(written - 1);
    return Narrow(result);
}

std::string Unquoted(std::string_view text) {
    const std::string trimmed = TrimBlanks(text);
    if (trimmed.size() >= 2 && trimmed.front() == '"' && trimmed.back() == '"')
        return TrimBlanks(trimmed.substr(1, trimmed.size() - 2));
    return trimmed;
}

// The file a command line starts: the quoted first word, or else an unquoted path up to the
// first ".exe" that ends a word, or else the first word. For rundll32, the library it loads.
StartedFile StartedFileOf(std::string_view command) {
    const std::string text = TrimBlanks(command);
    std::string_view rest = text;
    std::string program;
    std::string_view arguments;
    bool found = false;
    if (!rest.empty() && rest[0] == '"') {
        const size_t close = rest.find('"', 1);
        if (close != std::string_view::npos) {
            program = rest.substr(1, close - 1);
            arguments = rest.substr(close + 1);
            found = true;
        } else {
            rest.remove_prefix(1);  // an unmatched quote: read as if it were not there
        }
    }
    if (!found) {
        size_t end = std::min(rest.find_first_of(" \t"), rest.size());
        if (rest.substr(0, end).find_first_of("\\/:") != std::string_view::npos) {
            const std::string lower = AsciiLower(rest);
            for (size_t at = lower.find(".exe"); at != std::string::npos;
                 at = lower.find(".exe", at + 1)) {
                const size_t after = at + 4;
                if (after == lower.size() || IsBlank(lower[after])) {
                    end = after;
                    break;
                }
            }
        }
        program = rest.substr(0, end);
        arguments = rest.substr(end);
    }
    const size_t slash = program.find_last_of("\\/");
    const std::string base =
        AsciiLower(slash == std::string::npos ? program : program.substr(slash + 1));
    if (base == "rundll32" || base == "rundll32.exe") {
        const size_t comma = arguments.find(',');
        return {Unquoted(arguments.substr(0, comma)), comma == std::string_view::npos
                                                          ? std::string()
                                                          : TrimBlanks(arguments.substr(comma))};
    }
    return {TrimBlanks(program), TrimBlanks(arguments)};
}

// A text value's content; nothing for a missing value, another type or an oversized one.
std::optional<std::string> TextValue(Registry& key, const std::string& name) {
    const RegDataKind kind = key.GetDataType(name);
    if (kind != RegDataKind::String && kind != RegDataKind::ExpandString)
        return std::nullopt;
    if (key.GetDataSize(name) > kMaxValueBytes)
        return std::nullopt;
    const auto value = key.ReadValue(name);
    if (!value || (value->type != kRegSz && value->type != kRegExpandSz) ||
        value->data.size() > static_cast<size_t>(kMaxValueBytes))
        return std::nullopt;
    return RegistryBytesToUtf8(value->data.data(), value->data.size());
}

// The 32-bit registry view is a view of its own only on 64-bit Windows.
bool HasSeparate32BitView() {
    if (sizeof(void*) == 8)
        return true;
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

void ForEachFolderEntry(const std::wstring& folder,
                        const std::function<bool(const FolderEntry& entry)>& entry) {
    WIN32_FIND_DATAW data{};
    const std::wstring pattern = folder + L"\\*";
    const OwnedFind find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                          FindExSearchNameMatch, nullptr,
                                          FIND_FIRST_EX_LARGE_FETCH));
    if (!find)
        return;
    do {
        FolderEntry found{data.cFileName, data.dwFileAttributes,
                          (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow};
        if (found.name != L"." && found.name != L".." && !entry(found))
            return;
    } while (FindNextFileW(find.Get(), &data));
}

}  // namespace corvandel
