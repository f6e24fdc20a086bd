// The Win32 platform services under Wine: special folders, files, the running executable, the
// user's locale (the runner starts Wine in a Russian locale, UTC) and the real Windows version.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/windows_version.h"
#include "foundation/platform_win.h"
#include "foundation/registry_win.h"
#include "foundation/win_text.h"

namespace corvandel {
namespace {

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string TempFolder() {
    wchar_t folder[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, folder);
    return Narrow(folder);
}

TEST(PlatformWinTest, SpecialFoldersExistWithoutTrailingSeparator) {
    for (int csidl : {kCsidlAppData, kCsidlWindows, kCsidlSystem, kCsidlProgramFiles}) {
        const std::string folder = GetSpecialFolder(csidl);
        SCOPED_TRACE("CSIDL " + std::to_string(csidl) + ": " + folder);
        ASSERT_FALSE(folder.empty());
        EXPECT_NE(folder.back(), '\\');
        EXPECT_TRUE(IsFolder(folder));
    }
    EXPECT_EQ(GetSpecialFolder(0x7F), "");
}

// The machine type in a program file's PE header; 0 when unreadable.
unsigned MachineOf(const std::string& path) {
    const HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    unsigned char header[4096] = {};
    DWORD read = 0;
    ReadFile(file, header, sizeof header, &read, nullptr);
    CloseHandle(file);
    const DWORD pe = read >= 0x40 ? *reinterpret_cast<const DWORD*>(header + 0x3C) : 0;
    if (pe == 0 || pe + 6 > read)
        return 0;
    return header[pe + 4] | (header[pe + 5] << 8);
}

// Whichever loader runs this test, the view reaches the machine's own (64-bit) system files
// and Program Files, although the shell tells a 32-bit process the (x86) folder.
TEST(PlatformWinTest, SystemViewNamesTheMachinesOwnFolders) {
    const SystemView view = ReadSystemView();
    ASSERT_TRUE(view.windows64);  // the test prefixes are 64-bit
    EXPECT_EQ(view.redirected, sizeof(void*) == 4);
    EXPECT_EQ(MachineOf(NativeSystemProgram(view, "rundll32.exe")), IMAGE_FILE_MACHINE_AMD64);
    EXPECT_TRUE(IsFolder(view.programFiles)) << view.programFiles;
    EXPECT_TRUE(IsFolder(view.programFilesX86)) << view.programFilesX86;
    EXPECT_EQ(view.programFiles.find("(x86)"), std::string::npos) << view.programFiles;
    EXPECT_NE(view.programFilesX86.find("(x86)"), std::string::npos) << view.programFilesX86;
    EXPECT_EQ(GetSpecialFolder(kCsidlProgramFiles),
              sizeof(void*) == 4 ? view.programFilesX86 : view.programFiles);
}

TEST(PlatformWinTest, FileExistsOnlyForFiles) {
    const std::string folder = TempFolder();
    const std::string file = folder + "Corvandel test, файл.txt";
    const HANDLE handle = CreateFileW(Widen(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    CloseHandle(handle);

    const std::pair<std::string, bool> cases[] = {
        {file, true},
        {folder, false},
        {folder.substr(0, folder.size() - 1), false},
        {folder + "Corvandel нет такого.txt", false},
        {"", false},
    };
    Win32FileSystem files;
    for (const auto& [path, exists] : cases)
        EXPECT_EQ(files.FileExists(path), exists) << path;
    DeleteFileW(Widen(file).c_str());
}

TEST(PlatformWinTest, ExecutableFolderEndsWithASeparator) {
    const std::string folder = ExecutableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '\\');
    EXPECT_EQ(ExecutablePath(), folder + "win_tests.exe");
}

TEST(PlatformWinTest, RussianLocale) {
    const Win32Locale locale;
    EXPECT_EQ(locale.ShortDateFormat(), "dd.MM.yyyy");

    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"abcжёz", u"ABCЖЁZ"},
        {u"", u""},
        {u"\U0001F600 ß", u"\U0001F600 ß"},  // neither has a one-unit capital
    };
    for (const auto& [text, upper] : cases)
        EXPECT_EQ(locale.ToUpper(text), upper);
}

TEST(PlatformWinTest, FileTimeToLocalConvertsEveryField) {
    // Both halves of the FILETIME carry bits, and every field differs from the others.
    const SYSTEMTIME utc{2021, 11, 3, 24, 13, 45, 56, 789};
    FILETIME fileTime{}, localTime{};
    SYSTEMTIME e{};
    ASSERT_TRUE(SystemTimeToFileTime(&utc, &fileTime));
    ASSERT_TRUE(FileTimeToLocalFileTime(&fileTime, &localTime));
    ASSERT_TRUE(FileTimeToSystemTime(&localTime, &e));

    const Win32Locale locale;
    DateTime d;
    ASSERT_TRUE(locale.FileTimeToLocal(
        (static_cast<uint64_t>(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime, d));
    EXPECT_EQ((std::vector<int>{d.year, d.month, d.day, d.hour, d.minute, d.second, d.millisecond}),
              (std::vector<int>{e.wYear, e.wMonth, e.wDay, e.wHour, e.wMinute, e.wSecond,
                                e.wMilliseconds}));
    EXPECT_FALSE(locale.FileTimeToLocal(0x8000000000000000ull, d));  // beyond SYSTEMTIME
}

TEST(PlatformWinTest, RealWindowsVersionOfThisPrefix) {
    Win32RegistryApi api;
    // What the capped version call reports to a program, and what it reports truthfully.
    for (const OsVersion reported : {OsVersion{6, 2, 9200}, OsVersion{10, 0, 0}}) {
        const OsVersion real = RealWindowsVersion(reported, api);
        SCOPED_TRACE(std::to_string(reported.major) + "." + std::to_string(reported.minor));
        EXPECT_EQ(real.major, 10u);
        EXPECT_GE(real.build, 10240u);
        EXPECT_TRUE(IsWindows10OrLater(real));
    }
}

}  // namespace
}  // namespace corvandel
