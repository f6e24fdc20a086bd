#include "leftovers/pointers_win.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string_view>

#include "foundation/handle_win.h"
#include "foundation/platform_win.h"
#include "foundation/system_view.h"
#include "foundation/text.h"
#include "foundation/win_text.h"
#include "leftovers/leftover_rules.h"
#include "leftovers/machine_text_win.h"

namespace corvandel {
namespace {

// A walk looks at this many entries of one folder tree at most, and this deep.
constexpr size_t kMaxWalkEntries = 5000;
constexpr int kMaxWalkDepth = 8;
// A task file is a few KiB; anything larger than this is not read.
constexpr LONGLONG kMaxTaskFileBytes = 1 << 20;
// Shortcut paths are short; the buffer only has to be larger than any of them.
constexpr int kShortcutPathChars = 4096;
// A machine has a few hundred services; more keys than this are not looked at.
constexpr size_t kMaxServices = 10000;

const char kRunParent[] = "\\Microsoft\\Windows\\CurrentVersion\\";

// The folder every pointer is tested against, normalized once.
class Folder {
  public:
    explicit Folder(const std::string& path) : path_(NormalizePath(path, {})) {}
    bool Valid() const { return path_.has_value(); }
    bool Holds(const std::string& target) const {
        const auto normalized = NormalizePath(target, {});
        return normalized && IsSameOrInside(*normalized, *path_);
    }
    // The file started lies in the folder, or it is a host that runs a file there.
    bool IsStartedFrom(const std::string& target, const std::string& arguments) const {
        if (Holds(target))
            return true;
        if (!IsHostProgram(target))
            return false;
        const auto paths = PathsInArguments(arguments, {});
        return std::any_of(paths.begin(), paths.end(),
                           [&](const std::string& path) { return Holds(path); });
    }

  private:
    std::optional<std::string> path_;
};

// ---- Walking folders ----

using Visit = std::function<void(const std::wstring& full, const std::wstring& relative)>;

// Calls `visit` for every file under `folder`, never entering a link or junction.
void WalkFiles(const std::wstring& folder, const std::wstring& relative, int depth, size_t& left,
               const Visit& visit) {
    ForEachFolderEntry(folder, [&](const FolderEntry& entry) {
        const std::wstring& name = entry.name;
        const uint32_t attributes = entry.attributes;
        if (left == 0)
            return false;
        --left;
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            return true;
        const std::wstring full = folder + L"\\" + name;
        const std::wstring inside = relative.empty() ? name : relative + L"\\" + name;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (depth < kMaxWalkDepth)
                WalkFiles(full, inside, depth + 1, left, visit);
        } else {
            visit(full, inside);
        }
        return true;
    });
}

void WalkTree(const std::string& root, const Visit& visit) {
    if (root.empty())
        return;
    size_t left = kMaxWalkEntries;
    WalkFiles(Widen(root), std::wstring(), 1, left, visit);
}

bool EndsWithLnk(const std::wstring& name) {
    static constexpr wchar_t kTail[] = L".lnk";
    if (name.size() < 4)
        return false;
    for (size_t i = 0; i < 4; ++i) {
        wchar_t c = name[name.size() - 4 + i];
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != kTail[i])
            return false;
    }
    return true;
}

// ---- Shortcuts ----

// The path a shortcut's target is stored as, references expanded, and its arguments; nothing
// for a shortcut to something that is not a file.
std::optional<StartedFile> ShortcutTarget(const std::wstring& file) {
    ComHeld<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link.p))))
        return std::nullopt;
    ComHeld<IPersistFile> persist;
    if (FAILED(link.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist.p))))
        return std::nullopt;
    if (FAILED(persist.p->Load(file.c_str(), STGM_READ)))
        return std::nullopt;
    std::wstring path(kShortcutPathChars, L'\0');
    if (link.p->GetPath(path.data(), kShortcutPathChars, nullptr, SLGP_RAWPATH) != S_OK)
        return std::nullopt;
    path.back() = L'\0';
    path.resize(wcslen(path.c_str()));
    if (path.empty())
        return std::nullopt;
    std::wstring arguments(kShortcutPathChars, L'\0');
    if (link.p->GetArguments(arguments.data(), kShortcutPathChars) != S_OK)
        arguments.clear();
    arguments.back() = L'\0';
    arguments.resize(wcslen(arguments.c_str()));
    return StartedFile{Expanded(Narrow(path)), Expanded(Narrow(arguments))};
}

void FindShortcuts(const Folder& folder, const SpecialFolders& folders,
                   std::vector<FoundPointer>& found) {
    std::vector<std::string> roots;
    for (const int csidl : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS, CSIDL_COMMON_DESKTOPDIRECTORY,
                            CSIDL_DESKTOPDIRECTORY}) {
        const std::string root = folders.GetSpecialFolder(csidl);
        const bool seen = std::any_of(roots.begin(), roots.end(), [&](const std::string& r) {
            return FoldCase(r) == FoldCase(root);
        });
        if (!root.empty() && !seen)
            roots.push_back(root);
    }
    for (const std::string& root : roots) {
        WalkTree(root, [&](const std::wstring& full, const std::wstring&) {
            if (!EndsWithLnk(full))
                return;
            const auto target = ShortcutTarget(full);
            if (target && folder.IsStartedFrom(target->program, target->arguments))
                found.push_back(
                    {{LeftoverKind::Shortcut, Narrow(full), std::string(), target->program},
                     target->arguments});
        });
    }
}

// ---- Registry ----

void FindRunValues(const Folder& folder, RegistryApi& registry, std::vector<FoundPointer>& found) {
    struct View {
        RegRoot root;
        uint32_t access;
        const char* software;  // how the key is opened
        const char* named;     // how the 64-bit view names it
    };
    std::vector<View> views = {
        {RegRoot::LocalMachine, kKeyRead | kKeyWow64_64Key, "\\SOFTWARE",
         "HKEY_LOCAL_MACHINE\\SOFTWARE"},
        {RegRoot::CurrentUser, kKeyRead | kKeyWow64_64Key, "\\Software",
         "HKEY_CURRENT_USER\\Software"},
    };
    if (HasSeparate32BitView()) {
        views.insert(views.begin() + 1,
                     {RegRoot::LocalMachine, kKeyRead | kKeyWow64_32Key, "\\SOFTWARE",
                      "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node"});
    }
    for (const View& view : views) {
        for (const char* sub : {"Run", "RunOnce"}) {
            Registry key(registry, view.access);
            key.SetRootKey(view.root);
            if (!key.OpenKey(std::string(view.software) + kRunParent + sub, false))
                continue;
            const std::string named = std::string(view.named) + kRunParent + sub;
            for (const std::string& name : key.GetValueNames()) {
                const auto command = TextValue(key, name);
                if (!command)
                    continue;
                const StartedFile started = StartedFileOf(Expanded(*command));
                if (folder.IsStartedFrom(started.program, started.arguments))
                    found.push_back({{LeftoverKind::RunValue, named, name, started.program},
                                     started.arguments});
            }
        }
    }
}

void FindServices(const Folder& folder, RegistryApi& registry, std::vector<FoundPointer>& found) {
    const std::string services = "\\SYSTEM\\CurrentControlSet\\Services";
    Registry list(registry, kKeyRead | kKeyWow64_64Key);
    list.SetRootKey(RegRoot::LocalMachine);
    if (!list.OpenKey(services, false))
        return;
    std::vector<std::string> names = list.GetKeyNames();
    if (names.size() > kMaxServices)
        names.resize(kMaxServices);
    Registry key(registry, kKeyRead | kKeyWow64_64Key);
    key.SetRootKey(RegRoot::LocalMachine);
    for (const std::string& name : names) {
        if (!key.OpenKey(services + "\\" + name, false))
            continue;
        const auto command = TextValue(key, "ImagePath");
        if (!command)
            continue;
        const StartedFile started = StartedFileOf(Expanded(*command));
        if (folder.IsStartedFrom(started.program, started.arguments))
            found.push_back(
                {{LeftoverKind::Service, name, name, started.program}, started.arguments});
    }
}

// ---- Scheduled tasks ----

std::optional<std::string> ReadSmallFile(const std::wstring& path) {
    OwnedFile file(CreateFileW(path.c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.Get(), &size) || size.QuadPart > kMaxTaskFileBytes)
        return std::nullopt;
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        !ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
        return std::nullopt;
    bytes.resize(read);
    return bytes;
}

std::string FromUtf16(std::string_view bytes, bool bigEndian) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        units += static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
    return Utf16ToUtf8(units);
}

// A task file's text as UTF-8: the scheduler writes UTF-16 with a byte order mark, other
// tools UTF-8 with or without one.
std::string TextOfFile(std::string_view bytes) {
    if (bytes.starts_with("\xFF\xFE"))
        return FromUtf16(bytes.substr(2), false);
    if (bytes.starts_with("\xFE\xFF"))
        return FromUtf16(bytes.substr(2), true);
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return std::string(bytes.substr(3));
    if (bytes.size() >= 2 && bytes[0] != '\0' && bytes[1] == '\0')
        return FromUtf16(bytes, false);
    return std::string(bytes);
}

std::string XmlUnescaped(std::string_view text) {
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&quot;", '"'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&apos;", '\''}};
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        bool replaced = false;
        if (text[i] == '&') {
            for (const auto& [entity, c] : kEntities) {
                if (text.substr(i).starts_with(entity)) {
                    result += c;
                    i += entity.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced)
            result += text[i++];
    }
    return result;
}

// The text of the first <name> element in `xml`, unescaped; empty when there is none.
std::string ElementText(std::string_view xml, std::string_view name) {
    std::string open = "<";
    open.append(name).append(">");
    std::string close = "</";
    close.append(name).append(">");
    const size_t at = xml.find(open);
    const size_t end = at == std::string_view::npos ? at : xml.find(close, at + open.size());
    if (end == std::string_view::npos)
        return std::string();
    return XmlUnescaped(xml.substr(at + open.size(), end - at - open.size()));
}

// Each <Exec> action's program and arguments.
std::vector<StartedFile> ActionsOf(std::string_view xml) {
    constexpr std::string_view open = "<Exec>";
    constexpr std::string_view close = "</Exec>";
    std::vector<StartedFile> actions;
    for (size_t at = xml.find(open); at != std::string_view::npos; at = xml.find(open, at)) {
        const size_t start = at + open.size();
        const size_t end = xml.find(close, start);
        if (end == std::string_view::npos)
            break;
        const std::string_view action = xml.substr(start, end - start);
        actions.push_back({ElementText(action, "Command"), ElementText(action, "Arguments")});
        at = end + close.size();
    }
    return actions;
}

void FindTasks(const Folder& folder, std::vector<FoundPointer>& found) {
    // The 64-bit folder on 64-bit Windows: a 32-bit process opening System32 would be shown
    // SysWOW64's, which holds no tasks.
    const std::string tasks = TasksFolder(ReadSystemView());
    if (tasks.empty())
        return;
    WalkTree(tasks, [&](const std::wstring& full, const std::wstring& relative) {
        const auto bytes = ReadSmallFile(full);
        if (!bytes)
            return;
        const size_t slash = relative.find_last_of(L'\\');
        const std::string name =
            Narrow(slash == std::wstring::npos ? relative : relative.substr(slash + 1));
        // Named as the scheduler names it: its path under the Tasks folder.
        std::string task = "\\";
        task += Narrow(relative);
        for (const StartedFile& action : ActionsOf(TextOfFile(*bytes))) {
            // The command element holds the program alone; its arguments have their own.
            const std::string target = Unquoted(Expanded(action.program));
            const std::string arguments = Expanded(action.arguments);
            if (folder.IsStartedFrom(target, arguments))
                found.push_back({{LeftoverKind::Task, task, name, target}, arguments});
        }
    });
}

// COM for the shortcuts, in whatever state the calling thread leaves it; undone only if this
// call did it.
class ComScope {
  public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (result_ == S_OK || result_ == S_FALSE)
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

  private:
    HRESULT result_;
};

}  // namespace

std::vector<FoundPointer> FindPointersInto(const std::string& folder, RegistryApi& registry,
                                           const SpecialFolders& folders) {
    std::vector<FoundPointer> found;
    try {
        const Folder inside(folder);
        if (!inside.Valid())
            return found;
        const ComScope com;
        // Each search keeps what it found should a later one fail.
        const std::function<void()> searches[] = {
            [&] { FindShortcuts(inside, folders, found); },
            [&] { FindRunValues(inside, registry, found); },
            [&] { FindServices(inside, registry, found); },
            [&] { FindTasks(inside, found); },
        };
        for (const auto& search : searches) {
            try {
                search();
            } catch (...) {
            }
        }
        std::vector<FoundPointer> unique;
        for (const FoundPointer& pointer : found) {
            if (std::none_of(unique.begin(), unique.end(), [&](const FoundPointer& seen) {
                    return seen.pointer == pointer.pointer;
                }))
                unique.push_back(pointer);
        }
        return unique;
    } catch (...) {
        return found;
    }
}

}  // namespace corvandel
