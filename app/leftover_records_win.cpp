#include "app/leftover_records_win.h"

#include <windows.h>

#include <cstdio>

#include "foundation/files_win.h"
#include "foundation/platform_win.h"
#include "foundation/text.h"
#include "foundation/win_text.h"
#include "inventory/command_parse.h"
#include "leftovers/data_folder_win.h"
#include "leftovers/leftover_rules.h"
#include "leftovers/pointers_win.h"
#include "leftovers/program_record.h"
#include "queue/queue_rules.h"
#include "removal/removal_rules.h"
#include "settings/settings_win.h"

namespace corvandel {

namespace {

// The file a command starts, unless that is one of the system's own hosts (the installer
// service, rundll32): those are nobody's leftovers.
std::string ProgramFileOf(const std::string& command, const FileSystem& files,
                          const SpecialFolders& folders) {
    std::string file = RunPath(command, files, folders);
    const size_t slash = file.find_last_of('\\');
    const std::string name = AsciiLower(slash == std::string::npos ? file : file.substr(slash + 1));
    if (name == "msiexec.exe" || name == "rundll32.exe")
        return std::string();
    // The command's reading folds the case; the record names the file as the disk does.
    wchar_t onDisk[MAX_PATH];
    const DWORD length = GetLongPathNameW(Widen(file).c_str(), onDisk, MAX_PATH);
    if (length > 0 && length < MAX_PATH && AsciiLower(Narrow(onDisk)) == AsciiLower(file))
        file = Narrow(onDisk);
    return file;
}

}  // namespace

const DataFolder& ThisCopysDataFolder() {
    // Asked once: the check reads the folder's access list, and the answer holds for the run.
    static const DataFolder folder = SteeringDataFolder(IsPortableCopy());
    return folder;
}

std::string RecordFolder() {
    const std::string& root = ThisCopysDataFolder().root;
    return root.empty() ? root : root + "records\\";
}

std::string QuarantineFolder() {
    const std::string& root = ThisCopysDataFolder().root;
    return root.empty() ? root : root + "quarantine\\";
}

std::string KeepRecord(RegistryApi& registry, const FileSystem& files,
                       const SpecialFolders& folders, const std::string& rootName,
                       const std::string& keyPath) {
    const auto facts = ReadEntryFacts(registry, rootName, keyPath);
    if (!facts)
        return std::string();
    ProgramRecord record;
    record.rootName = rootName;
    record.keyPath = keyPath;
    record.displayName = facts->displayName;
    record.publisher = facts->publisher;
    record.installLocation = facts->installLocation;
    record.uninstallerPath = ProgramFileOf(facts->uninstallString, files, folders);
    if (!facts->displayIcon.empty())
        record.iconPath = ProgramFileOf(facts->displayIcon, files, folders);
    // Removing this very copy leaves nothing to search with afterwards; and a record is kept
    // only where no standard user can change it.
    if (RemovesRunningCopy(record, ExecutablePath(), {}) || RecordFolder().empty())
        return std::string();
    const std::string folder = TrimBlanks(ReplaceAll(facts->installLocation, "\"", ""));
    if (!folder.empty())
        for (FoundPointer& found : FindPointersInto(folder, registry, folders))
            record.pointers.push_back(std::move(found.pointer));

    SYSTEMTIME now{};
    GetLocalTime(&now);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, " %04u-%02u-%02u %02u-%02u-%02u", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond);
    const std::string base =
        SafeBackupFileName(facts->displayName.empty() ? facts->keyName : facts->displayName) +
        stamp;
    const std::string text = SerializeRecord(record);
    CreateFolderTree(RecordFolder());
    // A new file each time: a record already there is never replaced.
    for (int n = 1; n < 100; ++n) {
        const std::string path =
            RecordFolder() + base + (n == 1 ? "" : " (" + std::to_string(n) + ")") + ".record";
        if (GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES)
            continue;
        try {
            WriteNewFile(path, text);
            return path;
        } catch (const FileError&) {
            return std::string();
        }
    }
    return std::string();
}

}  // namespace corvandel
