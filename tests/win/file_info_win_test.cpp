// The version-resource readers on the program's own Corvandel.exe, whose resource the build
// writes, and on files that have no resource at all.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "about/FileInfoUtils.h"
#include "foundation/win_text.h"

namespace corvandel {
namespace {

std::wstring TempPath(const std::wstring& name) {
    wchar_t folder[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, folder);
    return folder + name;
}

class FileInfoWinTest : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t path[MAX_PATH * 2] = {};
        const DWORD length =
            GetEnvironmentVariableW(L"CORVANDEL_EXE_UNDER_TEST", path, MAX_PATH * 2);
        ASSERT_GT(length, 0u)
            << "CORVANDEL_EXE_UNDER_TEST is not set: run through tests/win/run.sh";
        ASSERT_LT(length, static_cast<DWORD>(MAX_PATH * 2));
        exe = Narrow(path);
        ASSERT_NE(GetFileAttributesW(path), INVALID_FILE_ATTRIBUTES) << exe;
    }

    std::string exe;
};

TEST_F(FileInfoWinTest, ReadsTheProgramsOwnResource) {
    EXPECT_EQ(GetFileVersion(exe), "1.0.0.1");
    EXPECT_EQ(GetCompanyName(exe), "Corvandel");
    EXPECT_EQ(GetLegalCopyright(exe), "Copyright (C) 2026 Corvandel");
    EXPECT_EQ(GetVersionInfoValue(exe, "ProductName"), "Corvandel");
    EXPECT_EQ(GetVersionInfoValue(exe, "NoSuchName"), "");
}

// The About box reads whichever copy the user started, wherever it lies.
TEST_F(FileInfoWinTest, ReadsACopyUnderANonAsciiPath) {
    const std::wstring copy = TempPath(L"Корвандель копия, 1.exe");
    ASSERT_TRUE(CopyFileW(Widen(exe).c_str(), copy.c_str(), FALSE));
    EXPECT_EQ(GetFileVersion(Narrow(copy)), "1.0.0.1");
    EXPECT_EQ(GetCompanyName(Narrow(copy)), "Corvandel");
    DeleteFileW(copy.c_str());
}

TEST_F(FileInfoWinTest, FilesWithoutAResourceGiveEmptyText) {
    const std::wstring plain = TempPath(L"corvandel-plain.txt");
    const HANDLE file = CreateFileW(plain.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    // Begins like an executable, so only the missing resource can make the readers give up.
    const char content[] = "MZ not really a program, just text";
    DWORD written = 0;
    WriteFile(file, content, sizeof content - 1, &written, nullptr);
    CloseHandle(file);

    const std::wstring missing = TempPath(L"corvandel-missing.exe");
    for (const std::wstring& path : {plain, missing}) {
        const std::string name = Narrow(path);
        SCOPED_TRACE(name);
        EXPECT_EQ(GetFileVersion(name), "");
        EXPECT_EQ(GetCompanyName(name), "");
        EXPECT_EQ(GetLegalCopyright(name), "");
        EXPECT_EQ(GetVersionInfoValue(name, "ProductName"), "");
    }
    DeleteFileW(plain.c_str());
}

}  // namespace
}  // namespace corvandel
