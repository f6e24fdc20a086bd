// The Win32 platform services under Wine: special folders, files, the running executable, the
// user's locale (the runner starts Wine in a Russian locale, UTC) and the real Windows version.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/platform_win.h"
#include "app/registry_win.h"
#include "app/win_text.h"
#include "app/windows_version.h"

namespace corvandel {
namespace {

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

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

    const struct {
        std::string path;
        bool exists;
    } cases[] = {
        {file, true},
        {folder, false},
        {folder.substr(0, folder.size() - 1), false},
        {folder + "Corvandel нет такого.txt", false},
        {"", false},
    };
    Win32FileSystem files;
    for (const auto& c : cases)
        EXPECT_EQ(files.FileExists(c.path), c.exists) << "'" << c.path << "'";
    DeleteFileW(Widen(file).c_str());
}

TEST(PlatformWinTest, ExecutablePathAndFolder) {
    const std::string path = ExecutablePath();
    const std::string folder = ExecutableFolder();
    EXPECT_TRUE(EndsWith(path, "win_tests.exe")) << path;
    EXPECT_TRUE(EndsWith(folder, "\\")) << folder;
    EXPECT_EQ(folder + "win_tests.exe", path);
}

TEST(PlatformWinTest, RussianLocale) {
    const Win32Locale locale;
    EXPECT_EQ(locale.ShortDateFormat(), "dd.MM.yyyy");

    const struct {
        std::u16string text;
        std::u16string upper;
    } cases[] = {
        {u"abcжёz", u"ABCЖЁZ"},
        {u"", u""},
        {u"\U0001F600 ß", u"\U0001F600 ß"},  // neither has a one-unit capital
    };
    for (const auto& c : cases)
        EXPECT_EQ(locale.ToUpper(c.text), c.upper);
}

TEST(PlatformWinTest, FileTimeToLocalConvertsEveryField) {
    // Both halves of the FILETIME carry bits, and every field differs from the others.
    const SYSTEMTIME utc{2021, 11, 3, 24, 13, 45, 56, 789};
    FILETIME fileTime{};
    ASSERT_TRUE(SystemTimeToFileTime(&utc, &fileTime));
    FILETIME localTime{};
    SYSTEMTIME expected{};
    ASSERT_TRUE(FileTimeToLocalFileTime(&fileTime, &localTime));
    ASSERT_TRUE(FileTimeToSystemTime(&localTime, &expected));

    const Win32Locale locale;
    DateTime local;
    ASSERT_TRUE(locale.FileTimeToLocal(
        (static_cast<uint64_t>(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime, local));
    EXPECT_EQ(local.year, expected.wYear);
    EXPECT_EQ(local.month, expected.wMonth);
    EXPECT_EQ(local.day, expected.wDay);
    EXPECT_EQ(local.hour, expected.wHour);
    EXPECT_EQ(local.minute, expected.wMinute);
    EXPECT_EQ(local.second, expected.wSecond);
    EXPECT_EQ(local.millisecond, expected.wMilliseconds);

    TIME_ZONE_INFORMATION zone{};
    if (GetTimeZoneInformation(&zone) == TIME_ZONE_ID_UNKNOWN && zone.Bias == 0) {
        EXPECT_EQ(local.day, 24);  // this machine runs in UTC
        EXPECT_EQ(local.hour, 13);
    }
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
