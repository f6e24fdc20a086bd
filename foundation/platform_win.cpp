#include "foundation/platform_win.h"

#include <windows.h>

#include <shlobj.h>

#include "foundation/win_text.h"

namespace corvandel {

std::string GetSpecialFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) {
        return std::string();
    }
    std::wstring folder(path);
    while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) {
        folder.pop_back();
    }
    return Narrow(folder);
}

std::string ExecutablePath() {
    std::wstring buffer(MAX_PATH, L'\0');
    while (true) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size()) {
            buffer.resize(length);
            return Narrow(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string ExecutableFolder() {
    const std::string path = ExecutablePath();
    return path.substr(0, path.find_last_of("\\/:") + 1);
}

bool Win32FileSystem::FileExists(const std::string& path) const {
    if (path.empty())
        return false;
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string Win32SpecialFolders::GetSpecialFolder(int csidl) const {
    const auto found = known_.find(csidl);
    if (found != known_.end())
        return found->second;
    return known_.emplace(csidl, corvandel::GetSpecialFolder(csidl)).first->second;
}

Win32Locale::Win32Locale() {
    wchar_t format[100] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, format, 100) > 0) {
        shortDate_ = Narrow(format);
    } else {
        shortDate_ = "dd.MM.yyyy";
    }
}

namespace {

DateTime FromSystemTime(const SYSTEMTIME& st) {
    return DateTime{st.wYear,   st.wMonth,  st.wDay,         st.wHour,
                    st.wMinute, st.wSecond, st.wMilliseconds};
}

}  // namespace

bool Win32Locale::FileTimeToLocal(uint64_t fileTime, DateTime& local) const {
    FILETIME utc{static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
    FILETIME localTime{};
    SYSTEMTIME st{};
    if (!FileTimeToLocalFileTime(&utc, &localTime) || !FileTimeToSystemTime(&localTime, &st)) {
        return false;
    }
    local = FromSystemTime(st);
    return true;
}

DateTime Win32Locale::Now() const {
    SYSTEMTIME st{};
    GetLocalTime(&st);
    return FromSystemTime(st);
}

std::u16string Win32Locale::ToUpper(std::u16string_view text) const {
    std::u16string out(text);
    if (!out.empty()) {
        CharUpperBuffW(reinterpret_cast<wchar_t*>(out.data()), static_cast<DWORD>(out.size()));
    }
    return out;
}

bool WindowsIs64Bit() {
#ifdef _WIN64
    return true;
#else
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
}

namespace {

// A text value of HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion in the 64-bit view (the
// only one on 32-bit Windows); empty when missing or not text.
std::string CurrentVersionFolder(const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                      KEY_QUERY_VALUE | (WindowsIs64Bit() ? KEY_WOW64_64KEY : 0),
                      &key) != ERROR_SUCCESS)
        return std::string();
    wchar_t value[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH * sizeof(wchar_t);
    DWORD type = 0;
    const LONG read =
        RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::string();
    return Narrow(std::wstring(value, wcsnlen(value, size / sizeof(wchar_t))));
}

}  // namespace

SystemView ReadSystemView() {
    SystemView view;
    view.windows64 = WindowsIs64Bit();
    view.redirected = sizeof(void*) == 4 && view.windows64;
    wchar_t windows[MAX_PATH] = {};
    const UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        view.windowsFolder = Narrow(windows);
    view.programFiles = CurrentVersionFolder(L"ProgramFilesDir");
    view.commonFiles = CurrentVersionFolder(L"CommonFilesDir");
    if (view.windows64) {
        view.programFilesX86 = CurrentVersionFolder(L"ProgramFilesDir (x86)");
        view.commonFilesX86 = CurrentVersionFolder(L"CommonFilesDir (x86)");
    }
    return view;
}

std::string NativeSystemFolder() {
    return NativeSystemFolder(ReadSystemView());
}

}  // namespace corvandel
