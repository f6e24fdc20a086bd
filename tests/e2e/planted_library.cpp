// A library planted beside the program under the name of a system library: loaded, it leaves
// "loaded-<its name>.txt" beside itself. The program must never load it.

#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(instance, path, MAX_PATH);
    wchar_t* name = path;
    for (wchar_t* c = path; *c != L'\0'; ++c) {
        if (*c == L'\\')
            name = c + 1;
    }
    wchar_t marker[MAX_PATH + 16] = {};
    const size_t folder = static_cast<size_t>(name - path);
    lstrcpynW(marker, path, static_cast<int>(folder + 1));
    lstrcatW(marker, L"loaded-");
    lstrcatW(marker, name);
    lstrcatW(marker, L".txt");
    const HANDLE file = CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return TRUE;
}
