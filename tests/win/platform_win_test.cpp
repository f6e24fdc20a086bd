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
