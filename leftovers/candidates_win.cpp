#include "leftovers/candidates_win.h"

#include <windows.h>

#include <initguid.h>

#include <knownfolders.h>
#include <shlobj.h>
#include <winioctl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>

#include "foundation/handle_win.h"
#include "foundation/platform_win.h"
#include "foundation/registry_win.h"
#include "foundation/text.h"
#include "foundation/win_text.h"
#include "inventory/command_parse.h"
#include "inventory/scan.h"
#include "leftovers/machine_text_win.h"
#include "leftovers/pointers_win.h"

namespace corvandel {
namespace {

constexpr size_t kMaxItems = 20000;
constexpr int kMaxDepth = 32;
// A machine lists a few thousand programs at most; a source with more keys is not read past.
constexpr size_t kMaxEntriesPerSource = 10000;
// The registry does not allow longer key names.
constexpr size_t kMaxKeyNameChars = 255;

const char* const kEnvironmentNames[] = {
    "ProgramFiles",      "ProgramData",        "APPDATA", "LOCALAPPDATA",
    "USERPROFILE",       "SystemRoot",         "windir",  "ProgramW6432",
    "ProgramFiles(x86)", "CommonProgramFiles", "PUBLIC",  "ALLUSERSPROFILE"};

// The folders asked for by number, the current user's and all users'.
const int kKnownCsidls[] = {CSIDL_PROGRAM_FILES,
                            CSIDL_PROGRAM_FILESX86,
                            CSIDL_PROGRAM_FILES_COMMON,
                            CSIDL_PROGRAM_FILES_COMMONX86,
                            CSIDL_WINDOWS,
                            CSIDL_SYSTEM,
                            CSIDL_SYSTEMX86,
                            CSIDL_PROFILE,
                            CSIDL_PERSONAL,
                            CSIDL_DESKTOPDIRECTORY,
                            CSIDL_MYMUSIC,
                            CSIDL_MYPICTURES,
                            CSIDL_MYVIDEO,
                            CSIDL_APPDATA,
                            CSIDL_LOCAL_APPDATA,
                            CSIDL_COMMON_APPDATA,
                            CSIDL_STARTMENU,
                            CSIDL_PROGRAMS,
                            CSIDL_STARTUP,
                            CSIDL_COMMON_STARTMENU,
                            CSIDL_COMMON_PROGRAMS,
                            CSIDL_COMMON_STARTUP,
                            CSIDL_COMMON_DESKTOPDIRECTORY,
                            CSIDL_COMMON_DOCUMENTS,
                            CSIDL_COMMON_MUSIC,
                            CSIDL_COMMON_PICTURES,
                            CSIDL_COMMON_VIDEO,
                            CSIDL_TEMPLATES,
                            CSIDL_COMMON_TEMPLATES,
                            CSIDL_FONTS,
                            CSIDL_FAVORITES,
                            CSIDL_SENDTO,
                            CSIDL_RECENT,
                            CSIDL_NETHOOD,
                            CSIDL_PRINTHOOD,
                            CSIDL_INTERNET_CACHE,
                            CSIDL_COOKIES,
                            CSIDL_HISTORY,
                            CSIDL_ADMINTOOLS,
                            CSIDL_COMMON_ADMINTOOLS,
                            CSIDL_RESOURCES,
                            CSIDL_CDBURN_AREA};

// The ones that have no number.
const GUID* const kKnownFolderIds[] = {
    &FOLDERID_Downloads,       &FOLDERID_LocalAppDataLow, &FOLDERID_UserProfiles,
    &FOLDERID_Public,          &FOLDERID_PublicDownloads, &FOLDERID_SavedGames,
    &FOLDERID_Links,           &FOLDERID_Contacts,        &FOLDERID_SearchHome,
    &FOLDERID_ProgramData,     &FOLDERID_ProgramFilesX64, &FOLDERID_ProgramFilesCommonX64,
    &FOLDERID_UserProgramFiles};

const int kDataCsidls[] = {CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_COMMON_APPDATA};

// ---- The machine's folders ----

std::vector<EnvironmentVariable> ReadEnvironment() {
    std::vector<EnvironmentVariable> environment;
    for (const char* name : kEnvironmentNames) {
        wchar_t buffer[MAX_PATH * 2] = {};
        const DWORD length = GetEnvironmentVariableW(Widen(name).c_str(), buffer, MAX_PATH * 2);
        if (length > 0 && length < MAX_PATH * 2)
            environment.push_back({name, Narrow(buffer)});
    }
    return environment;
}

// The folders the system makes in every user's profile, as named under the profile.
const char* const kProfileFolders[] = {"AppData",
                                       "AppData\\Roaming",
                                       "AppData\\Local",
                                       "AppData\\LocalLow",
                                       "Documents",
                                       "Downloads",
                                       "Desktop",
                                       "Music",
                                       "Pictures",
                                       "Videos",
                                       "Favorites",
                                       "Links",
                                       "Contacts",
                                       "Searches",
                                       "Saved Games",
                                       "OneDrive",
                                       "3D Objects",
                                       "AppData\\Roaming\\Microsoft\\Windows\\Start Menu",
                                       "AppData\\Local\\Temp"};
constexpr size_t kMaxProfiles = 1000;

// Every profile the machine keeps (ProfileList), each with the folders the system makes in
// it: another user's files are protected as the running user's are, whoever runs elevated.
std::vector<std::string> ProfileFolders() {
    std::vector<std::string> known;
    Win32RegistryApi registry;
    Registry list(registry, kKeyRead | kKeyWow64_64Key);
    list.SetRootKey(RegRoot::LocalMachine);
    const std::string profiles = "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
    if (!list.OpenKey(profiles, false))
        return known;
    std::vector<std::string> sids = list.GetKeyNames();
    if (sids.size() > kMaxProfiles)
        sids.resize(kMaxProfiles);
    for (const std::string& sid : sids) {
        Registry key(registry, kKeyRead | kKeyWow64_64Key);
        key.SetRootKey(RegRoot::LocalMachine);
        if (!key.OpenKey(profiles + "\\" + sid, false))
            continue;
        const auto image = TextValue(key, "ProfileImagePath");
        const auto profile = image ? NormalizePath(Expanded(*image), {}) : std::nullopt;
        if (!profile)
            continue;
        known.push_back(*profile);
        for (const char* folder : kProfileFolders)
            known.push_back(*profile + "\\" + folder);
    }
    return known;
}

std::vector<std::string> KnownFolders(const SpecialFolders& folders) {
    std::vector<std::string> known;
    for (const int csidl : kKnownCsidls) {
        std::string folder = folders.GetSpecialFolder(csidl);
        if (!folder.empty())
            known.push_back(std::move(folder));
    }
    for (const GUID* id : kKnownFolderIds) {
        PWSTR path = nullptr;
        if (SUCCEEDED(SHGetKnownFolderPath(*id, KF_FLAG_DONT_VERIFY, nullptr, &path)) && path)
            known.push_back(Narrow(path));
        CoTaskMemFree(path);
    }
    // The shell tells a 32-bit process neither 64-bit Program Files folder.
    for (std::string& folder : ProgramFilesFolders(ReadSystemView()))
        known.push_back(std::move(folder));
    for (std::string& folder : ProfileFolders())
        known.push_back(std::move(folder));
    return known;
}

// ---- Files and folders ----

// A file another process holds open without letting others delete it, or a program or
// library some process has loaded: Windows lets such a file be renamed, so a move into the
// quarantine would succeed and pull it from under a running updater or shell extension. A
// loaded image refuses to be opened for writing, whatever the sharing asked.
bool IsInUse(const std::wstring& path) {
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(file);
    const HANDLE written = CreateFileW(
        path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (written == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION ||
               GetLastError() == ERROR_USER_MAPPED_FILE;
    CloseHandle(written);
    return false;
}

// Where a symbolic link or junction leads, as it names it; empty for other reparse points or
// when it cannot be read. The link itself is read, never what it leads to.
std::string LinkTarget(const std::wstring& path) {
    OwnedFile link(CreateFileW(
        path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!link)
        return std::string();
    std::vector<unsigned char> buffer(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
    DWORD size = 0;
    if (!DeviceIoControl(link.Get(), FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(),
                         static_cast<DWORD>(buffer.size()), &size, nullptr) ||
        size < 16)
        return std::string();
    const auto word = [&](size_t at) {
        return static_cast<size_t>(buffer[at] | (buffer[at + 1] << 8));
    };
    DWORD tag = 0;
    std::memcpy(&tag, buffer.data(), sizeof tag);
    size_t names = 0;  // where the path buffer starts
    if (tag == IO_REPARSE_TAG_SYMLINK)
        names = 20;
    else if (tag == IO_REPARSE_TAG_MOUNT_POINT)
        names = 16;
    else
        return std::string();
    const auto text = [&](size_t offset, size_t length) -> std::wstring {
        if (length == 0 || names + offset + length > size || length % 2 != 0)
            return std::wstring();
        std::wstring out(length / 2, L'\0');
        std::memcpy(out.data(), buffer.data() + names + offset, length);
        return out;
    };
    std::wstring target = text(word(12), word(14));  // the name it shows
    if (target.empty()) {
        target = text(word(8), word(10));  // the name it resolves
        if (target.starts_with(L"\\??\\"))
            target.erase(0, 4);
    }
    return Narrow(target);
}

// The items found so far, each once, and how many more may be.
class Collector {
  public:
    // Its place among the items; nothing when it is there already or no more may be.
    std::optional<size_t> Add(Candidate candidate) {
        if (left_ == 0)
            return std::nullopt;
        const auto key = std::make_tuple(candidate.kind, FoldCase(candidate.path),
                                         FoldCase(candidate.valueName));
        if (!seen_.insert(key).second)
            return std::nullopt;
        --left_;
        found_.push_back(std::move(candidate));
        return found_.size() - 1;
    }
    void SetBytes(size_t at, uint64_t bytes) { found_[at].bytes = bytes; }
    bool Full() const { return left_ == 0; }
    std::vector<Candidate> Take() { return std::move(found_); }

  private:
    std::vector<Candidate> found_;
    std::set<std::tuple<LeftoverKind, std::string, std::string>> seen_;
    size_t left_ = kMaxItems;
};

Candidate FileSystemItem(const std::string& path, DWORD attributes, uint64_t bytes) {
    Candidate item;
    item.path = path;
    item.bytes = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : bytes;
    item.kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? LeftoverKind::Folder : LeftoverKind::File;
    const std::wstring forCalls = ForFileCalls(path);
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        item.reparsePoint = true;
        item.linkTarget = LinkTarget(forCalls);
    } else if (item.kind == LeftoverKind::File) {
        item.inUse = IsInUse(forCalls);
    }
    return item;
}

// Adds what lies in `folder`; the bytes of the files met, links not followed.
uint64_t WalkInside(const std::string& folder, int depth, Collector& found) {
    uint64_t total = 0;
    ForEachFolderEntry(ForFileCalls(folder), [&](const FolderEntry& entry) {
        if (found.Full())
            return false;
        const std::string path = folder + "\\" + Narrow(entry.name);
        const auto at = found.Add(FileSystemItem(path, entry.attributes, entry.bytes));
        const bool folderEntry = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const bool link = (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        if (folderEntry && !link && depth < kMaxDepth) {
            const uint64_t inside = WalkInside(path, depth + 1, found);
            if (at)
                found.SetBytes(*at, inside);
            total += inside;
        } else if (!folderEntry) {
            total += entry.bytes;
        }
        return true;
    });
    return total;
}

// The size of a file; 0 when it cannot be read.
uint64_t SizeOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(ForFileCalls(path).c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The item at `path` if it exists, and everything in it when it is a folder.
void AddTree(const std::string& path, Collector& found) {
    const DWORD attributes = GetFileAttributesW(ForFileCalls(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    const auto at = found.Add(FileSystemItem(path, attributes, SizeOf(path)));
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        const uint64_t inside = WalkInside(path, 1, found);
        if (at)
            found.SetBytes(*at, inside);
    }
}

void AddFile(const std::string& path, Collector& found) {
    const DWORD attributes = GetFileAttributesW(ForFileCalls(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        found.Add(FileSystemItem(path, attributes, SizeOf(path)));
}

// A name that stands for one folder or key below another: no separators, nothing Windows
// would read as a path of its own.
bool IsSingleName(std::string_view name) {
    if (name.empty() || name == "." || name == ".." || name.size() > kMaxKeyNameChars)
        return false;
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || std::strchr("\\/:*?\"<>|", c))
            return false;
    }
    return true;
}

// The name as a folder carries it: Windows drops trailing dots and blanks.
std::string AsFolderName(std::string_view name) {
    std::string out = TrimBlanks(name);
    while (!out.empty() && (out.back() == '.' || out.back() == ' '))
        out.pop_back();
    return out;
}

// The install folder is walked only when it is a folder of its own: not a drive root, not one
// of the system's or the user's folders nor one holding them, not inside the Windows folder.
bool IsOwnFolder(const std::string& location, const std::vector<EnvironmentVariable>& environment,
                 const SpecialFolders& folders) {
    const std::string_view rest = location.starts_with("\\\\")
                                      ? std::string_view(location).substr(2)
                                      : std::string_view(location);
    const size_t names = static_cast<size_t>(std::count(rest.begin(), rest.end(), '\\'));
    if (location.starts_with("\\\\") ? names < 2 : location.size() <= 3)
        return false;
    for (const std::string& known : KnownFolders(folders)) {
        const auto normalized = NormalizePath(known, environment);
        if (normalized && IsSameOrInside(*normalized, location))
            return false;
    }
    const auto windows = NormalizePath(folders.GetSpecialFolder(kCsidlWindows), environment);
    return !(windows && IsSameOrInside(location, *windows));
}

// ---- Registry ----

struct KeyView {
    RegRoot root;
    uint32_t view;
    const char* named;  // how the 64-bit view names Software
};

void AddProgramKeys(const ProgramRecord& record, RegistryApi& registry, Collector& found) {
    const std::string publisher = TrimBlanks(record.publisher);
    const std::string program = TrimBlanks(record.displayName);
    if (!IsSingleName(publisher) || !IsSingleName(program))
        return;
    std::vector<KeyView> views = {
        {RegRoot::CurrentUser, kKeyWow64_64Key, "HKEY_CURRENT_USER\\Software"},
        {RegRoot::LocalMachine, kKeyWow64_64Key, "HKEY_LOCAL_MACHINE\\SOFTWARE"},
    };
    if (HasSeparate32BitView())
        views.push_back(
            {RegRoot::LocalMachine, kKeyWow64_32Key, "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node"});
    const std::string below = "\\" + publisher + "\\" + program;
    for (const KeyView& view : views) {
        Registry key(registry, kKeyRead | view.view);
        key.SetRootKey(view.root);
        if (key.OpenKey("\\SOFTWARE" + below, false)) {
            Candidate item;
            item.kind = LeftoverKind::RegistryKey;
            item.path = view.named + below;
            found.Add(std::move(item));
        }
    }
}

// Runs one part of a search; what it found stays should it fail.
void Guarded(const std::function<void()>& part) {
    try {
        part();
    } catch (...) {
    }
}

// ---- The uninstall entries ----

// The key an uninstall entry lies in, as the 64-bit view names it, folded.
std::string PhysicalKey(const std::string& rootName, std::string path, bool view32) {
    if (!path.starts_with("\\"))
        path = "\\" + path;
    while (path.size() > 1 && path.back() == '\\')
        path.pop_back();
    std::string folded = FoldCase(path);
    const std::string software = "\\SOFTWARE\\";
    if (view32 && HasSeparate32BitView() && folded.starts_with(software) &&
        !folded.starts_with(software + "WOW6432NODE\\"))
        folded = software + "WOW6432NODE\\" + folded.substr(software.size());
    return rootName + folded;
}

// The record's own key; a machine-wide key named without WOW6432Node came from the 32-bit
// view when the 64-bit one holds no values there, as the list reads it.
std::string RecordKey(const ProgramRecord& record, RegistryApi& registry) {
    bool view32 = false;
    if (record.rootName == "HKEY_LOCAL_MACHINE") {
        Registry key(registry, kKeyRead | kKeyWow64_64Key);
        key.SetRootKey(RegRoot::LocalMachine);
        const std::string path =
            record.keyPath.starts_with("\\") ? record.keyPath : "\\" + record.keyPath;
        bool hasValues = false;
        if (key.OpenKey(path, false)) {
            const auto info = key.GetKeyInfo();
            hasValues = info && info->values > 0;
        }
        view32 = !hasValues;
    }
    return PhysicalKey(record.rootName, record.keyPath, view32);
}

void ReadOtherPrograms(const ProgramRecord& record, RegistryApi& registry,
                       const SpecialFolders& folders, MachineFacts& facts) {
    const std::string own = RecordKey(record, registry);
    const Win32FileSystem files;
    std::set<std::string> seen;
    for (const UninstallSource& source : kUninstallSources) {
        const bool machine = source.root == RegRoot::LocalMachine;
        const std::string rootName = machine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
        const uint32_t view = source.access & kKeyWow64Res;
        Registry list(registry, kKeyRead | view);
        list.SetRootKey(source.root);
        if (!list.OpenKey(source.path, false))
            continue;
        std::vector<std::string> names = list.GetKeyNames();
        if (names.size() > kMaxEntriesPerSource)
            names.resize(kMaxEntriesPerSource);
        for (const std::string& name : names) {
            Guarded([&] {
                const std::string path = std::string(source.path) + "\\" + name;
                const std::string physical =
                    PhysicalKey(rootName, path, machine && view == kKeyWow64_32Key);
                if (physical == own || !seen.insert(physical).second)
                    return;
                Registry key(registry, kKeyRead | view);
                key.SetRootKey(source.root);
                if (!key.OpenKey(path, false))
                    return;
                InstalledProgram program;
                program.displayName = TextValue(key, "DisplayName").value_or("");
                program.publisher = TextValue(key, "Publisher").value_or("");
                program.installLocation = TextValue(key, "InstallLocation").value_or("");
                facts.otherPrograms.push_back(std::move(program));
                for (const char* value : {"UninstallString", "DisplayIcon"}) {
                    const auto command = TextValue(key, value);
                    if (!command)
                        continue;
                    const std::string file = RunPath(Expanded(*command), files, folders);
                    if (!file.empty())
                        facts.claimedPaths.push_back(file);
                }
            });
        }
    }
}

// ---- Paths as the file system names them ----

// The folder holding `path`, as NormalizePath writes it; empty for a root.
std::string ParentFolder(const std::string& path) {
    const size_t slash = path.find_last_of('\\');
    if (slash == std::string::npos || path.size() <= 3 ||
        (path.starts_with("\\\\") && std::count(path.begin(), path.end(), '\\') <= 3))
        return std::string();
    return path.substr(0, slash == 2 && path[1] == ':' ? 3 : slash);
}

// What the file system calls an existing file or folder: long names in their own case, links
// and junctions resolved, a share as "\\server\share\..."; nothing when it cannot be opened.
std::optional<std::string> FinalPathOf(const std::string& path) {
    const OwnedFile handle(CreateFileW(ForFileCalls(path).c_str(), FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                       nullptr));
    if (!handle)
        return std::nullopt;
    std::wstring buffer(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length = GetFinalPathNameByHandleW(handle.Get(), buffer.data(),
                                                       static_cast<DWORD>(buffer.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            return std::nullopt;
        if (length < buffer.size()) {
            buffer.resize(length);
            if (buffer.starts_with(L"\\\\?\\UNC\\"))
                return Narrow(L"\\\\" + buffer.substr(8));
            if (buffer.starts_with(L"\\\\?\\"))
                return Narrow(buffer.substr(4));
            return Narrow(buffer);
        }
        buffer.assign(length + 1, L'\0');
    }
    return std::nullopt;
}

}  // namespace

std::string FileSystemPath(const std::string& path,
                           const std::vector<EnvironmentVariable>& environment) {
    const auto normalized = NormalizePath(path, environment);
    if (!normalized)
        return path;
    // The deepest part that exists says what the path is; the rest follows as written.
    std::string existing = *normalized;
    std::string rest;
    for (int depth = 0; depth < 64 && !existing.empty(); ++depth) {
        if (const auto final = FinalPathOf(existing)) {
            const auto whole = NormalizePath(*final + rest, {});
            return whole ? *whole : *normalized;
        }
        const std::string parent = ParentFolder(existing);
        if (parent.empty())
            break;
        rest = existing.substr(parent.size() == 3 ? 2 : parent.size()) + rest;
        existing = parent;
    }
    return *normalized;
}

bool IsNetworkPath(std::string_view path) {
    return path.starts_with("\\\\");
}

std::vector<Candidate> FindCandidates(const ProgramRecord& record, RegistryApi& registry,
                                      const SpecialFolders& folders) {
    Collector found;
    try {
        const std::vector<EnvironmentVariable> environment = ReadEnvironment();
        const auto location = NormalizePath(record.installLocation, environment);
        Guarded([&] {
            if (location && IsOwnFolder(*location, environment, folders))
                AddTree(*location, found);
        });
        Guarded([&] {
            for (const std::string* file : {&record.uninstallerPath, &record.iconPath}) {
                if (const auto path = NormalizePath(*file, environment))
                    AddFile(*path, found);
            }
        });
        Guarded([&] {
            const std::string publisher = AsFolderName(record.publisher);
            const std::string program = AsFolderName(record.displayName);
            if (!IsSingleName(publisher) || !IsSingleName(program))
                return;
            for (const int csidl : kDataCsidls) {
                const std::string data = folders.GetSpecialFolder(csidl);
                if (data.empty())
                    continue;
                // A publisher's folder that is a link leads elsewhere: nothing behind it is
                // the program's.
                const std::string publisherFolder = data + "\\" + publisher;
                const DWORD attributes = GetFileAttributesW(ForFileCalls(publisherFolder).c_str());
                if (attributes != INVALID_FILE_ATTRIBUTES &&
                    (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                    !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
                    AddTree(publisherFolder + "\\" + program, found);
            }
        });
        Guarded([&] {
            if (!location)
                return;
            for (const FoundPointer& pointer : FindPointersInto(*location, registry, folders)) {
                Candidate item;
                item.kind = pointer.pointer.kind;
                item.path = pointer.pointer.path;
                item.valueName = pointer.pointer.valueName;
                item.target = pointer.pointer.target;
                item.arguments = pointer.arguments;
                if (item.kind == LeftoverKind::Shortcut)
                    item.bytes = SizeOf(item.path);
                found.Add(std::move(item));
            }
        });
        Guarded([&] { AddProgramKeys(record, registry, found); });
    } catch (...) {
    }
    return found.Take();
}

// ---- What other products record as theirs ----

constexpr size_t kMaxComponents = 200000;
constexpr size_t kMaxClaimValues = 20000;

// A product code "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" as Windows Installer packs it in
// its records (each group reversed, each byte of the last two groups with its digits
// swapped); empty for anything else.
std::string PackedProductCode(std::string_view code) {
    if (code.size() != 38 || code.front() != '{' || code.back() != '}')
        return std::string();
    std::string digits;
    for (size_t i = 1; i + 1 < code.size(); ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash != (code[i] == '-') ||
            (!dash && !std::isxdigit(static_cast<unsigned char>(code[i]))))
            return std::string();
        if (!dash)
            digits += static_cast<char>(std::toupper(static_cast<unsigned char>(code[i])));
    }
    std::string packed;
    for (const auto& [from, length] : {std::pair{0, 8}, std::pair{8, 4}, std::pair{12, 4}})
        packed.append(digits.rbegin() + (32 - from - length), digits.rbegin() + (32 - from));
    for (size_t i = 16; i < 32; i += 2) {
        packed += digits[i + 1];
        packed += digits[i];
    }
    return packed;
}

// A component's key path when it is a file or folder ("C:\...", written "C?\..." for some);
// nothing for a registry key path ("01:\SOFTWARE\...") or anything else.
std::optional<std::string> ComponentPath(std::string text) {
    if (text.size() < 4 || !std::isalpha(static_cast<unsigned char>(text[0])) ||
        (text[1] != ':' && text[1] != '?') || text[2] != '\\')
        return std::nullopt;
    text[1] = ':';
    return NormalizePath(text, {});
}

// The folders Windows Installer's component records put files in for products other than the
// removed one.
void ReadInstallerComponents(const ProgramRecord& record, RegistryApi& registry,
                             MachineFacts& facts) {
    const size_t slash = record.keyPath.find_last_of('\\');
    const std::string own = PackedProductCode(
        slash == std::string::npos ? record.keyPath : record.keyPath.substr(slash + 1));
    const std::string userData =
        "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData";
    Registry users(registry, kKeyRead | kKeyWow64_64Key);
    users.SetRootKey(RegRoot::LocalMachine);
    if (!users.OpenKey(userData, false))
        return;
    std::set<std::string> folders;
    size_t left = kMaxComponents;
    for (const std::string& user : users.GetKeyNames()) {
        const std::string components = userData + "\\" + user + "\\Components";
        Registry list(registry, kKeyRead | kKeyWow64_64Key);
        list.SetRootKey(RegRoot::LocalMachine);
        if (!list.OpenKey(components, false))
            continue;
        for (const std::string& component : list.GetKeyNames()) {
            if (left == 0)
                break;
            --left;
            Registry key(registry, kKeyRead | kKeyWow64_64Key);
            key.SetRootKey(RegRoot::LocalMachine);
            if (!key.OpenKey(components + "\\" + component, false))
                continue;
            for (const std::string& product : key.GetValueNames()) {
                if (!own.empty() && AsciiLower(product) == AsciiLower(own))
                    continue;
                const auto text = TextValue(key, product);
                const auto path = text ? ComponentPath(*text) : std::nullopt;
                if (!path)
                    continue;
                // A folder key path ends with a separator; a file's folder is claimed whole.
                const bool folder = text->back() == '\\';
                const size_t last = path->find_last_of('\\');
                folders.insert(folder || last == std::string::npos ? *path : path->substr(0, last));
            }
        }
    }
    facts.claimedFolders.insert(facts.claimedFolders.end(), folders.begin(), folders.end());
}

// The shared libraries the system counts users of, and the programs App Paths registers: each
// file is another program's as long as it is registered.
void ReadRegisteredFiles(RegistryApi& registry, MachineFacts& facts) {
    const std::string version = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    std::vector<uint32_t> views = {kKeyWow64_64Key};
    if (HasSeparate32BitView())
        views.push_back(kKeyWow64_32Key);
    size_t left = kMaxClaimValues;
    for (const uint32_t view : views) {
        Registry shared(registry, kKeyRead | view);
        shared.SetRootKey(RegRoot::LocalMachine);
        if (shared.OpenKey(version + "\\SharedDLLs", false)) {
            for (const std::string& file : shared.GetValueNames()) {
                if (left == 0)
                    return;
                --left;
                facts.claimedPaths.push_back(file);
            }
        }
    }
    std::vector<std::pair<RegRoot, uint32_t>> roots;
    for (const uint32_t view : views)
        roots.emplace_back(RegRoot::LocalMachine, view);
    roots.emplace_back(RegRoot::CurrentUser, kKeyWow64_64Key);
    for (const auto& [root, view] : roots) {
        Registry list(registry, kKeyRead | view);
        list.SetRootKey(root);
        const std::string appPaths = version + "\\App Paths";
        if (!list.OpenKey(appPaths, false))
            continue;
        for (const std::string& name : list.GetKeyNames()) {
            if (left == 0)
                return;
            --left;
            Registry key(registry, kKeyRead | view);
            key.SetRootKey(root);
            if (!key.OpenKey(appPaths + "\\" + name, false))
                continue;
            if (const auto file = TextValue(key, ""))
                facts.claimedPaths.push_back(Unquoted(Expanded(*file)));
        }
    }
}

MachineFacts ReadMachineFacts(const ProgramRecord& record, RegistryApi& registry,
                              const SpecialFolders& folders) {
    MachineFacts facts;
    Guarded([&] { facts.environment = ReadEnvironment(); });
    Guarded([&] { facts.knownFolders = KnownFolders(folders); });
    Guarded([&] {
        const std::string windows = folders.GetSpecialFolder(kCsidlWindows);
        if (!windows.empty())
            facts.systemFolders.push_back(windows);
    });
    Guarded([&] {
        for (const int csidl : kDataCsidls) {
            const std::string data = folders.GetSpecialFolder(csidl);
            if (!data.empty())
                facts.dataFolders.push_back(data);
        }
    });
    Guarded([&] { ReadOtherPrograms(record, registry, folders, facts); });
    Guarded([&] { ReadInstallerComponents(record, registry, facts); });
    Guarded([&] { ReadRegisteredFiles(registry, facts); });
    return facts;
}

namespace {

// Only paths that may hide what they name are asked of the file system when there are many:
// a short alias ("PROGRA~2") or a share.
bool MayBeAlias(std::string_view path) {
    return path.find('~') != std::string_view::npos || path.starts_with("\\\\");
}

// The facts with every path as the file system names it. Network paths stay as they are:
// nothing on them is ever offered, so they guard nothing either.
void InFileSystemTerms(MachineFacts& facts) {
    const auto& environment = facts.environment;
    const auto each = [&](std::vector<std::string>& paths, bool all) {
        for (std::string& path : paths) {
            if (all || MayBeAlias(path))
                path = FileSystemPath(path, environment);
        }
    };
    each(facts.knownFolders, true);
    each(facts.systemFolders, true);
    each(facts.dataFolders, true);
    for (InstalledProgram& program : facts.otherPrograms) {
        if (!TrimBlanks(program.installLocation).empty())
            program.installLocation = FileSystemPath(program.installLocation, environment);
    }
    // The claims of the uninstall entries come first and are few; the rest can be many.
    each(facts.claimedPaths, facts.claimedPaths.size() <= 2000);
    each(facts.claimedFolders, false);
}

}  // namespace

ProgramRecord InFileSystemTerms(const ProgramRecord& record,
                                const std::vector<EnvironmentVariable>& environment) {
    ProgramRecord named = record;
    for (std::string* path : {&named.installLocation, &named.uninstallerPath, &named.iconPath}) {
        if (TrimBlanks(*path).empty())
            continue;
        *path = FileSystemPath(*path, environment);
        // What lies on another machine's disk is not this clean-up's to take.
        if (IsNetworkPath(*path))
            path->clear();
    }
    for (RecordedPointer& pointer : named.pointers) {
        if (!TrimBlanks(pointer.target).empty())
            pointer.target = FileSystemPath(pointer.target, environment);
    }
    return named;
}

std::vector<Offer> SearchLeftovers(const ProgramRecord& record, RegistryApi& registry,
                                   const SpecialFolders& folders) {
    MachineFacts facts = ReadMachineFacts(record, registry, folders);
    // "%ProgramFiles%" in an entry means the Program Files of the entry's own view: the 64-bit
    // folder for a 64-bit entry, whatever this process's environment says.
    const SystemView view = ReadSystemView();
    const bool entry32 = FoldCase(record.keyPath).find("\\WOW6432NODE\\") != std::string::npos;
    for (EnvironmentVariable& variable : facts.environment) {
        const std::string name = AsciiLower(variable.name);
        const std::string& programFiles = entry32 ? view.programFilesX86 : view.programFiles;
        const std::string& commonFiles = entry32 ? view.commonFilesX86 : view.commonFiles;
        if (name == "programfiles" && !programFiles.empty())
            variable.value = programFiles;
        else if (name == "commonprogramfiles" && !commonFiles.empty())
            variable.value = commonFiles;
    }
    InFileSystemTerms(facts);
    const ProgramRecord named = InFileSystemTerms(record, facts.environment);
    std::vector<Candidate> candidates = FindCandidates(named, registry, folders);
    for (Candidate& candidate : candidates) {
        if (!candidate.target.empty())
            candidate.target = FileSystemPath(candidate.target, facts.environment);
    }
    return FindLeftovers(named, candidates, facts);
}

}  // namespace corvandel
