// A program for the process-tree tests to start, as an uninstaller that behaves in one of
// these ways:
//   tree_child exit CODE MS             waits MS milliseconds, then ends with CODE
//   tree_child spawn CODE MS FILE       starts "tree_child late MS FILE" and ends with CODE at
//                                       once, as uninstallers that run a copy of themselves do
//   tree_child late MS FILE             waits MS milliseconds, then writes FILE

#include <windows.h>

#include <shellapi.h>

#include <string>

namespace {

DWORD Number(const wchar_t* text) {
    return static_cast<DWORD>(wcstoul(text, nullptr, 10));
}

int WriteMark(const std::wstring& path) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 2;
    DWORD written = 0;
    WriteFile(file, "done", 4, &written, nullptr);
    CloseHandle(file);
    return 0;
}

int StartLateCopy(const wchar_t* milliseconds, const wchar_t* path) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring line =
        L"\"" + std::wstring(self) + L"\" late " + milliseconds + L" \"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(self, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return 3;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (args == nullptr || count < 4)
        return 1;
    const std::wstring mode = args[1];
    int code = 1;
    if (mode == L"exit") {
        Sleep(Number(args[3]));
        code = static_cast<int>(Number(args[2]));
    } else if (mode == L"late") {
        Sleep(Number(args[2]));
        code = WriteMark(args[3]);
    } else if (mode == L"spawn" && count >= 5) {
        code = StartLateCopy(args[3], args[4]);
        if (code == 0)
            code = static_cast<int>(Number(args[2]));
    }
    LocalFree(args);
    return code;
}
