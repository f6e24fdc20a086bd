#include "leftovers/data_folder_win.h"

#include <windows.h>

#include <sddl.h>
#include <shlobj.h>

#include "foundation/files_win.h"
#include "foundation/folder_security_win.h"
#include "foundation/handle_win.h"
#include "foundation/platform_win.h"
#include "foundation/win_text.h"
#include "leftovers/machine_text_win.h"

namespace corvandel {

namespace {

// The system and administrators may do everything, users may read: what the folder is made
// with, protected from what its parent would pass on.
constexpr wchar_t kProtectedFolder[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

bool CreateProtectedFolder(const std::string& folder) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kProtectedFolder, SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return false;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const bool made = CreateDirectoryW(ForFileCalls(folder).c_str(), &attributes) != FALSE;
    LocalFree(descriptor);
    return made;
}

// Moves what an older version kept beside the installed executable into the data folder, item
// by item; nothing is written over.
void MoveOlderData(const std::string& root) {
    const std::string old = ExecutableFolder();
    if (!MayTrustFolder(old))
        return;
    for (const char* name : {"records", "quarantine"}) {
        const std::string from = old + name + "\\";
        const DWORD attributes = GetFileAttributesW(ForFileCalls(from).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        CreateDirectoryW(ForFileCalls(root + name).c_str(), nullptr);
        ForEachFolderEntry(ForFileCalls(from), [&](const FolderEntry& entry) {
            const std::string item = Narrow(entry.name);
            MoveFileExW(ForFileCalls(from + item).c_str(),
                        ForFileCalls(root + name + "\\" + item).c_str(), 0);
            return true;
        });
        RemoveDirectoryW(ForFileCalls(from).c_str());
    }
}

}  // namespace

DataFolder SteeringDataFolder(bool portable) {
    std::string root;
    if (portable) {
        root = ExecutableFolder();
    } else {
        PWSTR data = nullptr;
        if (FAILED(SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &data)) || !data) {
            CoTaskMemFree(data);
            return {};
        }
        root = Narrow(data) + "\\Corvandel\\";
        CoTaskMemFree(data);
        if (GetFileAttributesW(ForFileCalls(root).c_str()) == INVALID_FILE_ATTRIBUTES)
            CreateProtectedFolder(root);
    }
    if (!MayTrustFolder(root))
        return {std::string(), root};
    if (!portable)
        MoveOlderData(root);
    return {root, std::string()};
}

}  // namespace corvandel
