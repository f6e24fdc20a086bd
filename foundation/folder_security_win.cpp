#include "foundation/folder_security_win.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include "foundation/files_win.h"
#include "foundation/win_text.h"

namespace corvandel {

namespace {

std::string SidText(PSID sid) {
    LPWSTR text = nullptr;
    if (sid == nullptr || !ConvertSidToStringSidW(sid, &text))
        return std::string();
    std::string result = Narrow(text);
    LocalFree(text);
    return result;
}

}  // namespace

bool RunsElevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return true;  // unknown: judged as the stricter case
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const bool known =
        GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) != FALSE;
    CloseHandle(token);
    return !known || elevation.TokenIsElevated != 0;
}

bool AccessListsEnforced() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr;
}

std::optional<FolderSecurity> ReadFolderSecurity(const std::string& path) {
    PSID owner = nullptr;
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(ForFileCalls(path).c_str(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                              nullptr, &list, nullptr, &descriptor) != ERROR_SUCCESS)
        return std::nullopt;
    FolderSecurity security;
    security.owner = SidText(owner);
    security.hasAccessList = list != nullptr;
    for (DWORD i = 0; list != nullptr && i < list->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(list, i, reinterpret_cast<void**>(&header)))
            continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE &&
            header->AceType != ACCESS_DENIED_ACE_TYPE) {
            // An entry of a kind not read here (a callback, an object entry): judged as
            // granting everything to someone unknown.
            security.entries.push_back({true, std::string(), 0xFFFFFFFF, false});
            continue;
        }
        // Both kinds share one layout: the header, the mask, then the SID.
        const auto* entry = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header);
        security.entries.push_back(
            {header->AceType == ACCESS_ALLOWED_ACE_TYPE,
             SidText(const_cast<PSID>(static_cast<const void*>(&entry->SidStart))), entry->Mask,
             (header->AceFlags & INHERIT_ONLY_ACE) != 0});
    }
    LocalFree(descriptor);
    return security;
}

bool MayTrustFolder(const std::string& folder) {
    const DWORD attributes = GetFileAttributesW(ForFileCalls(folder).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    if (!RunsElevated() || !AccessListsEnforced())
        return true;
    const auto security = ReadFolderSecurity(folder);
    return security && OnlyAdministratorsWrite(*security);
}

}  // namespace corvandel
