// The icon-file guard on real files: what it opens, what it refuses before reading, and that
// a checked file stays as it was while the system reads it.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "foundation/win_text.h"
#include "inventory/icon_file_win.h"

namespace corvandel {
namespace {

std::string TempPath(const std::string& name) {
    wchar_t folder[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, folder);
    return Narrow(folder) + name;
}

void Write(const std::string& path, const std::string& bytes) {
    const OwnedFile file(CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file);
    DWORD written = 0;
    ASSERT_TRUE(
        WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

TEST(IconFileWinTest, OpensOnlySoundLocalFiles) {
    wchar_t exe[MAX_PATH * 2] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"CORVANDEL_EXE_UNDER_TEST", exe, MAX_PATH * 2), 0u);
    const std::string folder = TempPath("Значки, icons & 100%");
    CreateDirectoryW(Widen(folder).c_str(), nullptr);
    Write(folder + "\\empty.exe", "");
    Write(folder + "\\readme.txt", "hello");
    Write(folder + "\\text.exe", "not a program");
    const struct {
        std::string path;
        IconFileKind kind;
    } cases[] = {
        {Narrow(exe), IconFileKind::Program},
        {folder + "\\readme.txt", IconFileKind::OtherFile},
        {folder + "\\empty.exe", IconFileKind::Refused},
        {folder + "\\text.exe", IconFileKind::Refused},
        {folder + "\\missing.exe", IconFileKind::Refused},
        {folder, IconFileKind::Refused},
        {folder + "\\nul.ico", IconFileKind::Refused},
        {"NUL", IconFileKind::Refused},
        {"\\\\.\\pipe\\icons", IconFileKind::Refused},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckedIconFile(c.path).Kind(), c.kind) << c.path;
}

TEST(IconFileWinTest, AFileBeingWrittenIsRefusedAndACheckedOneCannotChange) {
    const std::string path = TempPath("icon guard.exe");
    wchar_t exe[MAX_PATH * 2] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"CORVANDEL_EXE_UNDER_TEST", exe, MAX_PATH * 2), 0u);
    ASSERT_TRUE(CopyFileW(exe, Widen(path).c_str(), FALSE));
    {
        const OwnedFile writer(CreateFileW(Widen(path).c_str(), GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(writer);
        EXPECT_EQ(CheckedIconFile(path).Kind(), IconFileKind::Refused);
    }
    const CheckedIconFile checked(path);
    ASSERT_EQ(checked.Kind(), IconFileKind::Program);
    const OwnedFile writer(CreateFileW(Widen(path).c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_FALSE(writer);
    EXPECT_FALSE(DeleteFileW(Widen(path).c_str()));
}

}  // namespace
}  // namespace corvandel
