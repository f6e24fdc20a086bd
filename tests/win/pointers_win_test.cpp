// The search for what starts a program's files, against the real registry, Start menu and
// Tasks folder of the Wine prefix. The fixture is written with raw Win32 calls so that the
// search cannot pass by reading back its own mistakes.

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/platform_win.h"
#include "foundation/registry_win.h"
#include "foundation/win_text.h"
#include "leftovers/pointers_win.h"

namespace corvandel {
namespace {

const wchar_t kName[] = L"CorvandelPointerTest";
const std::wstring kRun = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring kRunOnce = kRun + L"Once";
const std::wstring kService = L"SYSTEM\\CurrentControlSet\\Services\\CorvandelPointerTest";

std::wstring ExpandedW(const wchar_t* text) {
    wchar_t buffer[MAX_PATH * 2] = {};
    ExpandEnvironmentStringsW(text, buffer, MAX_PATH * 2);
    return buffer;
}

const std::wstring kTemp = ExpandedW(L"%TEMP%");
const std::wstring kFolder = kTemp + L"\\Pointer Test App";
const std::wstring kSibling = kTemp + L"\\Pointer Test App Helper";

std::wstring Programs() {
    return Widen(GetSpecialFolder(CSIDL_PROGRAMS)) + L"\\Pointer Test";
}

// The scheduler keeps its task files in the 64-bit System32 on 64-bit Windows. A 32-bit test
// opening System32 would be shown SysWOW64 (Wine redirects as Windows does): it names the
// 64-bit folder through the Sysnative alias, as the search must.
std::wstring TaskFolder() {
    BOOL wow64 = FALSE;
    const bool redirected = IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
    return Widen(GetSpecialFolder(CSIDL_WINDOWS)) + (redirected ? L"\\Sysnative" : L"\\System32") +
           L"\\Tasks\\CorvandelPointerTest";
}

void SetText(HKEY root, const std::wstring& path, REGSAM view, const wchar_t* name,
             const std::wstring& text, DWORD type = REG_SZ) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void DeleteValue(HKEY root, const std::wstring& path, REGSAM view, const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, name);
        RegCloseKey(key);
    }
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << Narrow(path);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    CloseHandle(file);
}

void SaveShortcut(const std::wstring& file, const std::wstring& target) {
    IShellLinkW* link = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                               reinterpret_cast<void**>(&link)),
              S_OK);
    IPersistFile* persist = nullptr;
    EXPECT_TRUE(SUCCEEDED(link->SetPath(target.c_str())));
    ASSERT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)), S_OK);
    EXPECT_EQ(persist->Save(file.c_str(), TRUE), S_OK);
    persist->Release();
    link->Release();
}

// The scheduler's own format: UTF-16 with a byte order mark, quotes escaped.
std::string TaskXml(const std::wstring& command) {
    const std::wstring xml =
        L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Task><Actions><Exec>"
        L"<Command>" +
        command + L"</Command><Arguments>/update</Arguments>" + L"</Exec></Actions></Task>\r\n";
    std::string bytes = "\xFF\xFE";
    bytes.append(reinterpret_cast<const char*>(xml.data()), xml.size() * sizeof(wchar_t));
    return bytes;
}

class PointersWinTest : public ::testing::Test {
  protected:
    // Also on entry: what a crashed run left must not fake a pass.
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        TearDown();
    }
    void TearDown() override {
        for (const wchar_t* file : {L"\\App.lnk", L"\\Other.lnk", L"\\Broken.lnk"})
            DeleteFileW((Programs() + file).c_str());
        RemoveDirectoryW(Programs().c_str());
        DeleteFileW((kFolder + L"\\app.exe").c_str());
        RemoveDirectoryW(kFolder.c_str());
        DeleteFileW((TaskFolder() + L"\\Update").c_str());
        RemoveDirectoryW(TaskFolder().c_str());
        for (const wchar_t* name :
             {L"CorvandelPointerTest", L"CorvandelPointerTestOther", L"CorvandelPointerTestNumber",
              L"CorvandelPointerTestHost", L"CorvandelPointerTestHostElsewhere"})
            DeleteValue(HKEY_CURRENT_USER, kRun, 0, name);
        DeleteValue(HKEY_CURRENT_USER, kRunOnce, 0, L"CorvandelPointerTestOnce");
        DeleteValue(HKEY_LOCAL_MACHINE, kRun, KEY_WOW64_32KEY, kName);
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kService.c_str(), KEY_WOW64_64KEY, 0);
    }
};

using Row = std::tuple<LeftoverKind, std::string, std::string, std::string, std::string>;

TEST_F(PointersWinTest, FindsWhatStartsFilesInTheFolderAndNothingElse) {
    const std::string exe = Narrow(kFolder) + "\\app.exe";
    ASSERT_TRUE(CreateDirectoryW(kFolder.c_str(), nullptr));
    WriteFileBytes(kFolder + L"\\app.exe", "MZ");
    ASSERT_TRUE(CreateDirectoryW(Programs().c_str(), nullptr));
    SaveShortcut(Programs() + L"\\App.lnk", kFolder + L"\\app.exe");
    SaveShortcut(Programs() + L"\\Other.lnk",
                 Widen(GetSpecialFolder(CSIDL_WINDOWS)) + L"\\notepad.exe");
    WriteFileBytes(Programs() + L"\\Broken.lnk", std::string("L\0\0\0garbage", 11));

    SetText(HKEY_CURRENT_USER, kRun, 0, kName, L"\"" + kFolder + L"\\app.exe\" /minimized");
    SetText(HKEY_CURRENT_USER, kRun, 0, L"CorvandelPointerTestOther",
            L"\"" + kSibling + L"\\app.exe\" /minimized");
    const DWORD number = 1;
    HKEY run = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kRun.c_str(), 0, KEY_SET_VALUE, &run),
              ERROR_SUCCESS);
    RegSetValueExW(run, L"CorvandelPointerTestNumber", 0, REG_DWORD,
                   reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegCloseKey(run);
    SetText(HKEY_CURRENT_USER, kRunOnce, 0, L"CorvandelPointerTestOnce",
            L"rundll32.exe \"" + kFolder + L"\\helper.dll\",Start");
    // Unquoted, with blanks in the path: the program ends at ".exe".
    SetText(HKEY_LOCAL_MACHINE, kRun, KEY_WOW64_32KEY, kName, kFolder + L"\\app.exe --tray");
    SetText(HKEY_LOCAL_MACHINE, kService, KEY_WOW64_64KEY, L"ImagePath",
            L"%TEMP%\\Pointer Test App\\app.exe -service", REG_EXPAND_SZ);
    ASSERT_TRUE(SHCreateDirectoryExW(nullptr, TaskFolder().c_str(), nullptr) == ERROR_SUCCESS);
    WriteFileBytes(TaskFolder() + L"\\Update",
                   TaskXml(L"&quot;%TEMP%\\Pointer Test App\\app.exe&quot;"));

    // A script host elsewhere counts by the script it runs, not by its own place.
    const std::wstring host = Widen(GetSpecialFolder(CSIDL_SYSTEM)) + L"\\wscript.exe";
    SetText(HKEY_CURRENT_USER, kRun, 0, L"CorvandelPointerTestHost",
            L"\"" + host + L"\" //B \"" + kFolder + L"\\tray.vbs\"");
    SetText(HKEY_CURRENT_USER, kRun, 0, L"CorvandelPointerTestHostElsewhere",
            L"\"" + host + L"\" \"" + kSibling + L"\\tray.vbs\"");

    Win32RegistryApi api;
    Win32SpecialFolders folders;
    std::vector<Row> found;
    for (const FoundPointer& f : FindPointersInto(Narrow(kFolder), api, folders)) {
        const RecordedPointer& p = f.pointer;
        found.emplace_back(p.kind, p.path, p.valueName, p.target, f.arguments);
    }
    std::sort(found.begin(), found.end());

    const std::string run64 = "\\Microsoft\\Windows\\CurrentVersion\\Run";
    std::vector<Row> expected = {
        {LeftoverKind::Shortcut, Narrow(Programs()) + "\\App.lnk", "", exe, ""},
        {LeftoverKind::RunValue, "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node" + run64,
         "CorvandelPointerTest", exe, "--tray"},
        {LeftoverKind::RunValue, "HKEY_CURRENT_USER\\Software" + run64, "CorvandelPointerTest", exe,
         "/minimized"},
        {LeftoverKind::RunValue, "HKEY_CURRENT_USER\\Software" + run64, "CorvandelPointerTestHost",
         Narrow(host), "//B \"" + Narrow(kFolder) + "\\tray.vbs\""},
        {LeftoverKind::RunValue, "HKEY_CURRENT_USER\\Software" + run64 + "Once",
         "CorvandelPointerTestOnce", Narrow(kFolder) + "\\helper.dll", ",Start"},
        {LeftoverKind::Service, "CorvandelPointerTest", "CorvandelPointerTest", exe, "-service"},
        {LeftoverKind::Task, "\\CorvandelPointerTest\\Update", "Update", exe, "/update"},
    };
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(found, expected);
    CoUninitialize();
}

}  // namespace
}  // namespace corvandel
