#include "removal/registry_editor_win.h"

#include <windows.h>

#include <shellapi.h>

#include "foundation/registry_win.h"
#include "removal/removal_rules.h"

namespace corvandel {

bool JumpToRegistryKey(const std::string& key) {
    try {
        Win32RegistryApi api;
        Registry registry(api, kKeyWrite);
        registry.SetRootKey(RegRoot::CurrentUser);
        if (!registry.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit",
                              true)) {
            return false;
        }
        registry.WriteString("LastKey", key);
        registry.CloseKey();

        wchar_t root[MAX_PATH] = {};
        const DWORD length = GetEnvironmentVariableW(L"SystemRoot", root, MAX_PATH);
        std::wstring folder(root, length < MAX_PATH ? length : 0);
        if (folder.empty() || folder.back() != L'\\')
            folder += L'\\';
        std::wstring editor = folder + L"SysNative\\regedt32.exe";
        if (GetFileAttributesW(editor.c_str()) == INVALID_FILE_ATTRIBUTES) {
            editor = folder + L"regedit.exe";
        }
        const auto result = reinterpret_cast<INT_PTR>(
            ShellExecuteW(nullptr, L"open", editor.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        return result > 32;
    } catch (const std::exception&) {
        return false;
    }
}

bool OpenRegistryKey(const std::string& rootName, const std::string& keyPath) {
    const std::string key = RegistryEditorKey(rootName, keyPath);
    return !key.empty() && JumpToRegistryKey(key);
}

}  // namespace corvandel
