#include "leftovers/quarantine_win.h"

#include <windows.h>

#include <algorithm>
#include <set>

#include "foundation/file_hash_win.h"
#include "foundation/files_win.h"
#include "foundation/handle_win.h"
#include "foundation/text.h"
#include "foundation/win_text.h"
#include "leftovers/machine_text_win.h"
#include "removal/registry_export.h"

namespace corvandel {
namespace {

constexpr uint32_t kView = kKeyWow64_64Key;  // paths name the 32-bit view by WOW6432Node
constexpr int kMaxDepth = 64;

uint64_t Ticks(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME FileTimeOf(uint64_t ticks) {
    return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

std::optional<FileStamp> StampOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(ForFileCalls(path).c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    return FileStamp{Ticks(data.ftCreationTime), Ticks(data.ftLastAccessTime),
                     Ticks(data.ftLastWriteTime), data.dwFileAttributes};
}

// Times through a handle that also opens folders and links themselves. Only the times that
// differ from what the file has now are set: each set rounds to the system's 100 ns, and a
// file system that keeps finer times would lose the last digits of the others.
bool SetStamp(const std::string& path, const FileStamp& stamp) {
    const std::wstring wide = ForFileCalls(path);
    const std::optional<FileStamp> now = StampOf(path);
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    bool done = false;
    {
        const OwnedFile file(CreateFileW(
            wide.c_str(), FILE_WRITE_ATTRIBUTES,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (file) {
            const FILETIME created = FileTimeOf(stamp.created);
            const FILETIME accessed = FileTimeOf(stamp.accessed);
            const FILETIME written = FileTimeOf(stamp.written);
            const auto changed = [&](uint64_t FileStamp::*time, const FILETIME& value) {
                return now && (*now).*time == stamp.*time ? nullptr : &value;
            };
            done = SetFileTime(file.Get(), changed(&FileStamp::created, created),
                               changed(&FileStamp::accessed, accessed),
                               changed(&FileStamp::written, written)) != FALSE;
        }
    }
    const DWORD keep = stamp.attributes &
                       (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                        FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    SetFileAttributesW(wide.c_str(), keep != 0 ? keep : FILE_ATTRIBUTE_NORMAL);
    return done;
}

bool Exists(const std::string& path) {
    return GetFileAttributesW(ForFileCalls(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Gone for sure: the file system says there is nothing at the path (any other failure, a
// denied access say, proves nothing).
bool Gone(const std::string& path) {
    if (GetFileAttributesW(ForFileCalls(path).c_str()) != INVALID_FILE_ATTRIBUTES)
        return false;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Makes the folder and whatever of its path is missing; false when a part of the path that
// exists is a link or junction (or no folder), which would lead what is put back elsewhere.
bool MakeFolders(const std::string& folder) {
    // The root (a drive's, or a share's) is taken as it is.
    size_t at = 3;
    if (folder.starts_with("\\\\")) {
        const size_t server = folder.find('\\', 2);
        at = server == std::string::npos ? folder.size() : folder.find('\\', server + 1);
    }
    while (at < folder.size()) {
        const size_t end = std::min(folder.find('\\', at + 1), folder.size());
        const std::wstring part = ForFileCalls(folder.substr(0, end));
        const DWORD attributes = GetFileAttributesW(part.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            if (!CreateDirectoryW(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
                return false;
        } else if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
                   !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return false;
        }
        at = end;
    }
    return true;
}

// A folder's files and folders, the folder first; links are entries, never entered.
void WalkFolder(const std::string& folder, int depth, CleanupList& list,
                std::vector<std::string>& files) {
    const auto stamp = StampOf(folder);
    if (!stamp)
        return;
    list.folders.push_back({folder, *stamp});
    if (depth >= kMaxDepth)
        return;
    ForEachFolderEntry(ForFileCalls(folder), [&](const FolderEntry& entry) {
        const std::wstring& name = entry.name;
        const uint32_t attributes = entry.attributes;
        const std::string path = folder + "\\" + Narrow(name);
        const bool folderEntry = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        if (folderEntry && !link)
            WalkFolder(path, depth + 1, list, files);
        else
            files.push_back(path);
        return true;
    });
}

// "HKEY_CURRENT_USER\Software\X" as a root and a path below it.
std::optional<std::pair<RegRoot, std::string>> SplitKeyText(const std::string& keyText) {
    const size_t slash = keyText.find('\\');
    if (slash == std::string::npos || slash + 1 >= keyText.size())
        return std::nullopt;
    const std::string rootName = keyText.substr(0, slash);
    if (rootName == "HKEY_LOCAL_MACHINE")
        return std::make_pair(RegRoot::LocalMachine, keyText.substr(slash + 1));
    if (rootName == "HKEY_CURRENT_USER")
        return std::make_pair(RegRoot::CurrentUser, keyText.substr(slash + 1));
    return std::nullopt;
}

// Saves a key's whole tree to the list and the ".reg" lines; false (with the system's error)
// when any part cannot be read, so that nothing of it is deleted.
bool SaveKeyTree(RegistryApi& api, RegRoot root, const std::string& keyText,
                 const std::string& path, int depth, CleanupList& list,
                 std::vector<std::string>& lines, uint32_t& error) {
    const ScopedKey key(api, api.Open(RootHandle(root), path, kKeyRead | kView, false));
    const auto info = key ? api.QueryInfo(key.Get()) : std::nullopt;
    if (!info || depth >= kMaxDepth) {
        error = api.LastError();
        return false;
    }
    list.keys.push_back(keyText);
    lines.emplace_back();
    lines.push_back("[" + keyText + "]");
    for (uint32_t i = 0; i < info->values; ++i) {
        const auto name = api.EnumValue(key.Get(), i);
        const auto value = name ? api.QueryValue(key.Get(), *name, true) : std::nullopt;
        if (!value) {
            error = api.LastError();
            return false;
        }
        list.values.push_back({keyText, *name, value->type, value->data});
        lines.push_back(ExportValueLine(*name, *value));
    }
    std::vector<std::string> names;
    for (uint32_t i = 0; i < info->subKeys; ++i) {
        auto name = api.EnumKey(key.Get(), i);
        if (!name) {
            error = api.LastError();
            return false;
        }
        names.push_back(std::move(*name));
    }
    for (const std::string& name : names) {
        if (!SaveKeyTree(api, root, keyText + "\\" + name, path + "\\" + name, depth + 1, list,
                         lines, error)) {
            return false;
        }
    }
    return true;
}

bool SaveValue(RegistryApi& api, RegRoot root, const std::string& keyText, const std::string& path,
               const std::string& name, CleanupList& list, std::vector<std::string>& lines,
               uint32_t& error) {
    const ScopedKey key(api, api.Open(RootHandle(root), path, kKeyRead | kView, false));
    const auto value = key ? api.QueryValue(key.Get(), name, true) : std::nullopt;
    if (!value) {
        error = api.LastError();
        return false;
    }
    list.values.push_back({keyText, name, value->type, value->data});
    lines.emplace_back();
    lines.push_back("[" + keyText + "]");
    lines.push_back(ExportValueLine(name, *value));
    return true;
}

void WriteList(const std::string& folder, const CleanupList& list) {
    WriteWholeFile(folder + kCleanupListName, SerializeCleanup(list));
}

// A new folder for one clean-up, named by the time it began.
std::string NewCleanupFolder(const std::string& root) {
    CreateFolderTree(root);
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t stamp[32];
    swprintf(stamp, 32, L"%04u-%02u-%02u %02u.%02u.%02u", now.wYear, now.wMonth, now.wDay,
             now.wHour, now.wMinute, now.wSecond);
    for (int n = 1; n < 1000; ++n) {
        std::string folder = root + Narrow(stamp);
        if (n > 1)
            folder += " (" + std::to_string(n) + ")";
        if (CreateDirectoryW(Widen(folder).c_str(), nullptr))
            return folder + "\\";
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    return {};
}

}  // namespace

CleanupOutcome RemoveIntoQuarantine(const std::vector<Offer>& chosen, const std::string& programs,
                                    const std::string& quarantineRoot, RegistryApi& registry) {
    CleanupOutcome outcome;
    // Nowhere to keep what is removed: nothing is removed.
    if (!NormalizePath(quarantineRoot, {})) {
        for (const Offer& offer : chosen)
            outcome.leftInPlace.push_back({offer.candidate.path, ERROR_ACCESS_DENIED});
        return outcome;
    }
    outcome.folder = NewCleanupFolder(quarantineRoot);
    if (outcome.folder.empty()) {
        for (const Offer& offer : chosen)
            outcome.leftInPlace.push_back({offer.candidate.path, GetLastError()});
        return outcome;
    }
    const std::string store = outcome.folder + "files\\";
    CreateDirectoryW(Widen(store).c_str(), nullptr);
    CleanupList list;
    list.programs = programs;
    std::vector<std::string> regLines{kRegEditHeader};
    std::set<std::string> movedOrigins;
    size_t stored = 0;  // names in the store are never used twice, also after a failed move
    try {
        for (const Offer& offer : chosen) {
            const Candidate& item = offer.candidate;
            bool whole = true;
            auto leave = [&](const std::string& what, uint32_t error) {
                outcome.leftInPlace.push_back({what, error});
                whole = false;
            };
            switch (item.kind) {
                case LeftoverKind::Folder:
                case LeftoverKind::File:
                case LeftoverKind::Shortcut: {
                    if (!Exists(item.path))
                        break;  // inside a folder moved before it
                    const size_t firstFolder = list.folders.size();
                    std::vector<std::string> files;
                    const DWORD attributes = GetFileAttributesW(ForFileCalls(item.path).c_str());
                    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
                        WalkFolder(item.path, 0, list, files);
                    } else {
                        files.push_back(item.path);
                    }
                    // Listed before they move: a crash midway leaves every origin known.
                    const size_t firstFile = list.files.size();
                    for (const std::string& file : files) {
                        if (!movedOrigins.insert(FoldCase(file)).second)
                            continue;
                        if (const auto stamp = StampOf(file)) {
                            list.files.push_back({file, StoredFileName(stored++), *stamp, {}});
                        }
                    }
                    WriteList(outcome.folder, list);
                    std::vector<MovedFile> kept(list.files.begin(), list.files.begin() + firstFile);
                    for (size_t i = firstFile; i < list.files.size(); ++i) {
                        MovedFile file = list.files[i];
                        const std::wstring stored = ForFileCalls(store + file.stored);
                        if (!MoveFileExW(ForFileCalls(file.origin).c_str(), stored.c_str(),
                                         MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)) {
                            leave(file.origin, GetLastError());
                            continue;
                        }
                        // Across volumes a move is a copy and a delete, and the call succeeds
                        // when the delete fails: the file is still in its place, and the copy
                        // is dropped again.
                        if (!Gone(file.origin)) {
                            const DWORD error = GetLastError();
                            SetFileAttributesW(stored.c_str(), FILE_ATTRIBUTE_NORMAL);
                            DeleteFileW(stored.c_str());
                            leave(file.origin,
                                  error == ERROR_SUCCESS ? ERROR_SHARING_VIOLATION : error);
                            continue;
                        }
                        file.sha256 = FileSha256(stored).value_or("");
                        kept.push_back(std::move(file));
                    }
                    list.files = std::move(kept);
                    // Folders go deepest first; one still holding a file stays.
                    for (size_t i = list.folders.size(); i-- > firstFolder;)
                        RemoveDirectoryW(ForFileCalls(list.folders[i].origin).c_str());
                    WriteList(outcome.folder, list);
                    // Only what is truly gone counts as removed.
                    if (!Gone(item.path))
                        whole = false;
                    break;
                }
                case LeftoverKind::RegistryKey:
                case LeftoverKind::RunValue: {
                    const auto split = SplitKeyText(item.path);
                    if (!split) {
                        leave(item.path, ERROR_INVALID_NAME);
                        break;
                    }
                    const auto& [root, path] = *split;
                    CleanupList saved;
                    std::vector<std::string> lines;
                    uint32_t error = 0;
                    const bool key = item.kind == LeftoverKind::RegistryKey;
                    const bool read =
                        key ? SaveKeyTree(registry, root, item.path, path, 0, saved, lines, error)
                            : SaveValue(registry, root, item.path, path, item.valueName, saved,
                                        lines, error);
                    if (!read) {
                        leave(key ? item.path : item.path + " \"" + item.valueName + "\"", error);
                        break;
                    }
                    // The backup is written whole before anything of it is deleted.
                    list.keys.insert(list.keys.end(), saved.keys.begin(), saved.keys.end());
                    list.values.insert(list.values.end(), saved.values.begin(), saved.values.end());
                    regLines.insert(regLines.end(), lines.begin(), lines.end());
                    WriteList(outcome.folder, list);
                    WriteWholeFile(outcome.folder + "registry.reg",
                                   "\xFF\xFE" + Utf16Bytes(JoinExportLines(regLines)));
                    if (key) {
                        for (size_t i = saved.keys.size(); i-- > 0;) {
                            const auto keyPath = SplitKeyText(saved.keys[i]);
                            if (!registry.DeleteKey(RootHandle(root), keyPath->second, kView)) {
                                leave(saved.keys[i], registry.LastError());
                                break;
                            }
                        }
                    } else {
                        const ScopedKey open(registry, registry.Open(RootHandle(root), path,
                                                                     kKeyAllAccess | kView, false));
                        if (!open || !registry.DeleteValue(open.Get(), item.valueName))
                            leave(item.path + " \"" + item.valueName + "\"", registry.LastError());
                    }
                    break;
                }
                case LeftoverKind::Service:
                case LeftoverKind::Task:
                    whole = false;
                    break;
            }
            if (whole)
                ++outcome.removed;
        }
    } catch (const FileError& error) {
        // The list cannot be written: nothing more is removed without it.
        outcome.leftInPlace.push_back({error.Path(), error.Code()});
    }
    return outcome;
}

std::optional<ProgramRecord> ReadRecordFile(const std::string& path) {
    try {
        const auto text = ReadWholeFile(path);
        return text ? ParseRecord(*text) : std::nullopt;
    } catch (const FileError&) {
        return std::nullopt;
    }
}

std::vector<KeptCleanup> ListCleanups(const std::string& quarantineRoot) {
    std::vector<KeptCleanup> cleanups;
    if (!NormalizePath(quarantineRoot, {}))
        return cleanups;
    WIN32_FIND_DATAW found{};
    const OwnedFind search(FindFirstFileExW(Widen(quarantineRoot + "*").c_str(), FindExInfoBasic,
                                            &found, FindExSearchNameMatch, nullptr, 0));
    if (!search)
        return cleanups;
    do {
        const std::string name = Narrow(found.cFileName);
        if (name == "." || name == ".." || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            continue;
        KeptCleanup cleanup;
        cleanup.folder = quarantineRoot + name + "\\";
        std::optional<std::string> text;
        try {
            text = ReadWholeFile(cleanup.folder + kCleanupListName);
        } catch (const FileError&) {
        }
        auto list = text ? ParseCleanup(*text) : std::nullopt;
        if (!list)
            continue;
        cleanup.list = std::move(*list);
        if (const auto stamp = StampOf(cleanup.folder + kCleanupListName))
            cleanup.written = stamp->written;
        for (const MovedFile& file : cleanup.list.files) {
            WIN32_FILE_ATTRIBUTE_DATA data{};
            if (GetFileAttributesExW(Widen(cleanup.folder + "files\\" + file.stored).c_str(),
                                     GetFileExInfoStandard, &data)) {
                cleanup.bytes +=
                    (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            }
        }
        cleanups.push_back(std::move(cleanup));
    } while (FindNextFileW(search.Get(), &found));
    std::sort(cleanups.begin(), cleanups.end(),
              [](const KeptCleanup& a, const KeptCleanup& b) { return a.written < b.written; });
    return cleanups;
}

std::vector<LeftInPlace> RestoreCleanup(const std::string& folder, RegistryApi& registry) {
    std::vector<LeftInPlace> problems;
    std::optional<std::string> text;
    try {
        text = ReadWholeFile(folder + kCleanupListName);
    } catch (const FileError& error) {
        return {{folder + kCleanupListName, error.Code()}};
    }
    const auto list = text ? ParseCleanup(*text) : std::nullopt;
    if (!list)
        return {{folder + kCleanupListName, ERROR_FILE_CORRUPT}};

    CleanupList left;
    left.programs = list->programs;
    for (const MovedFolder& moved : list->folders)
        MakeFolders(moved.origin);
    for (const MovedFile& file : list->files) {
        const std::string stored = folder + "files\\" + file.stored;
        const auto refuse = [&](uint32_t error) {
            problems.push_back({file.origin, error});
            left.files.push_back(file);
        };
        if (Exists(file.origin)) {
            refuse(ERROR_ALREADY_EXISTS);
            continue;
        }
        // Only what this program stored goes back: a file changed in the quarantine stays.
        if (!file.sha256.empty() && FileSha256(ForFileCalls(stored)) != file.sha256) {
            refuse(ERROR_FILE_CORRUPT);
            continue;
        }
        // A link planted on the way would carry the file somewhere else.
        const std::string parent = file.origin.substr(0, file.origin.find_last_of('\\'));
        if (!MakeFolders(parent)) {
            refuse(ERROR_CANT_ACCESS_FILE);
            continue;
        }
        if (!MoveFileExW(ForFileCalls(stored).c_str(), ForFileCalls(file.origin).c_str(),
                         MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)) {
            refuse(GetLastError());
            continue;
        }
        // A move within a drive keeps the times to the last digit the file system holds;
        // reading the file for its hash may have changed when it was last read.
        if (StampOf(file.origin) != file.stamp)
            SetStamp(file.origin, file.stamp);
    }
    // Folders last, deepest first: putting files back changed their times.
    for (size_t i = list->folders.size(); i-- > 0;) {
        if (StampOf(list->folders[i].origin) != list->folders[i].stamp)
            SetStamp(list->folders[i].origin, list->folders[i].stamp);
    }
    left.folders = left.files.empty() ? std::vector<MovedFolder>{} : list->folders;

    for (const std::string& keyText : list->keys) {
        const auto split = SplitKeyText(keyText);
        const ScopedKey key(registry, split ? registry.Open(RootHandle(split->first), split->second,
                                                            kKeyAllAccess | kView, true)
                                            : std::nullopt);
        if (!key)
            problems.push_back({keyText, registry.LastError()});
    }
    for (const SavedValue& value : list->values) {
        const auto split = SplitKeyText(value.keyText);
        const ScopedKey key(registry, split ? registry.Open(RootHandle(split->first), split->second,
                                                            kKeyAllAccess | kView, true)
                                            : std::nullopt);
        const std::string what = value.keyText + " \"" + value.name + "\"";
        if (!key) {
            problems.push_back({what, registry.LastError()});
            left.values.push_back(value);
            continue;
        }
        // A value set again since is the user's: it stays, and the saved one with it.
        const auto now = registry.QueryValue(key.Get(), value.name, true);
        if (now && (now->type != value.type || now->data != value.data)) {
            problems.push_back({what, ERROR_ALREADY_EXISTS});
            left.values.push_back(value);
        } else if (!now && !registry.SetValue(key.Get(), value.name, value.type, value.data)) {
            problems.push_back({what, registry.LastError()});
            left.values.push_back(value);
        }
    }

    try {
        if (left.files.empty() && left.values.empty()) {
            DeleteFileW(ForFileCalls(folder + kCleanupListName).c_str());
            DeleteFileW(ForFileCalls(folder + "registry.reg").c_str());
            RemoveDirectoryW(ForFileCalls(folder + "files").c_str());
            RemoveDirectoryW(ForFileCalls(folder).c_str());
        } else {
            WriteList(folder, left);
        }
    } catch (const FileError& error) {
        problems.push_back({error.Path(), error.Code()});
    }
    return problems;
}

std::vector<LeftInPlace> RestoreCleanupWithRecords(const std::string& folder,
                                                   const std::string& recordFolder,
                                                   RegistryApi& registry) {
    if (MakeFolders(recordFolder)) {
        ForEachFolderEntry(ForFileCalls(folder), [&](const FolderEntry& entry) {
            const std::string name = Narrow(entry.name);
            if (!(entry.attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                AsciiLower(name).ends_with(".record"))
                MoveFileExW(ForFileCalls(folder + name).c_str(),
                            ForFileCalls(recordFolder + name).c_str(), 0);
            return true;
        });
    }
    return RestoreCleanup(folder, registry);
}

namespace {

bool DeleteTree(const std::string& folder, int depth) {
    bool whole = depth < kMaxDepth;
    if (whole) {
        ForEachFolderEntry(ForFileCalls(folder), [&](const FolderEntry& entry) {
            const std::string path = folder + "\\" + Narrow(entry.name);
            const std::wstring wide = ForFileCalls(path);
            const bool directory = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            const bool link = (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (directory && !link)
                whole = DeleteTree(path, depth + 1) && whole;
            else if (directory)
                whole = RemoveDirectoryW(wide.c_str()) != FALSE && whole;
            else
                whole = DeleteFileW(wide.c_str()) != FALSE && whole;
            return true;
        });
    }
    return RemoveDirectoryW(ForFileCalls(folder).c_str()) != FALSE && whole;
}

}  // namespace

bool DeleteCleanup(const std::string& folder) {
    std::string path = folder;
    while (path.size() > 3 && path.back() == '\\')
        path.pop_back();
    const DWORD attributes = GetFileAttributesW(ForFileCalls(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return true;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return RemoveDirectoryW(ForFileCalls(path).c_str()) != FALSE;
    return DeleteTree(path, 0);
}

size_t DeleteCleanupsBefore(const std::string& quarantineRoot, uint64_t before) {
    size_t deleted = 0;
    for (const KeptCleanup& cleanup : ListCleanups(quarantineRoot)) {
        if (cleanup.written < before && DeleteCleanup(cleanup.folder))
            ++deleted;
    }
    return deleted;
}

}  // namespace corvandel
