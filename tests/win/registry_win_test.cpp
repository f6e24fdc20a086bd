// The registry object over advapi32, against the real registry of the Wine prefix. Fixture
// keys are written and checked with raw advapi32 calls so that a fault in the layer under test
// cannot hide itself by building its own fixture.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/registry.h"
#include "foundation/registry_win.h"
#include "foundation/win_text.h"

namespace corvandel {
namespace {

const std::wstring kUserTest = L"Software\\CorvandelTest";
const std::wstring kMachine64 = L"SOFTWARE\\CorvandelTest";
// What the 32-bit view calls SOFTWARE\CorvandelTest, spelled out in the 64-bit view.
const std::wstring kMachine32 = L"SOFTWARE\\WOW6432Node\\CorvandelTest";

// Always through the 64-bit view: a 32-bit build would otherwise be redirected silently.
// Creates the key and, given a name, sets one value in it.
void RawSet(HKEY root, const std::wstring& path, const wchar_t* name = nullptr,
            DWORD type = REG_NONE, const void* data = nullptr, size_t size = 0) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (name) {
        EXPECT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data),
                                 static_cast<DWORD>(size)),
                  ERROR_SUCCESS);
    }
    RegCloseKey(key);
}

void RawText(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text,
             DWORD type = REG_SZ) {
    RawSet(root, path, name, type, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

bool RawExists(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

void RawDeleteTree(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &key) !=
        ERROR_SUCCESS) {
        return;
    }
    RegDeleteTreeW(key, nullptr);
    RegCloseKey(key);
    RegDeleteKeyExW(root, path.c_str(), KEY_WOW64_64KEY, 0);
}

std::string ErrorOf(const std::function<void()>& read) {
    try {
        read();
    } catch (const RegistryError& e) {
        return e.what();
    }
    return "no error";
}

class RegistryWinTest : public ::testing::Test {
  protected:
    // Also on entry: keys left by a crashed run must not fake a pass.
    void SetUp() override { TearDown(); }
    void TearDown() override {
        RawDeleteTree(HKEY_CURRENT_USER, kUserTest);
        RawDeleteTree(HKEY_LOCAL_MACHINE, kMachine64);
        RawDeleteTree(HKEY_LOCAL_MACHINE, kMachine32);
    }

    Win32RegistryApi api;
};

TEST_F(RegistryWinTest, EachViewSeesOnlyItsOwnSoftwareTree) {
    RawText(HKEY_LOCAL_MACHINE, kMachine32 + L"\\Only32", L"Where", L"32");
    RawText(HKEY_LOCAL_MACHINE, kMachine64 + L"\\Only64", L"Where", L"64");
    // The value read back proves which tree an opened key came from.
    const std::tuple<uint32_t, const char*, const char*> cases[] = {
        {kKeyWow64_32Key, "Only32", "32"},
        {kKeyWow64_32Key, "Only64", nullptr},
        {kKeyWow64_64Key, "Only64", "64"},
        {kKeyWow64_64Key, "Only32", nullptr},
    };
    for (const auto& [view, name, where] : cases) {
        Registry reg(api, kKeyAllAccess | view);
        reg.SetRootKey(RegRoot::LocalMachine);
        const std::string path = std::string("\\SOFTWARE\\CorvandelTest\\") + name;
        SCOPED_TRACE(path + (view == kKeyWow64_32Key ? " in the 32-bit view" : " in the 64-bit"));
        EXPECT_EQ(reg.KeyExists(path), where != nullptr);
        EXPECT_EQ(reg.OpenKey(path, false), where != nullptr);
        if (where && reg.HasCurrentKey()) {
            EXPECT_EQ(reg.ReadString("Where"), where);
        }
    }
}

TEST_F(RegistryWinTest, TypedReadsOfStoredData) {
    const std::string emojiName = "Имя \U0001F600";
    const HKEY cu = HKEY_CURRENT_USER;
    RawText(cu, kUserTest, L"Text", L"Привет, мир");
    RawText(cu, kUserTest, Widen(emojiName).c_str(), Widen("\U0001D11E ноты"));
    RawText(cu, kUserTest, L"Expand", L"%SystemRoot%\\system32", REG_EXPAND_SZ);
    RawText(cu, kUserTest, L"Empty", L"");
    RawText(cu, kUserTest, L"One", L"1");  // four bytes with its NUL: fits the integer buffer
    // Non-zero data after the counted bytes, or the registry adds the NUL itself.
    RawSet(cu, kUserTest, L"NoNul", REG_SZ, L"ABC", 4);
    RawSet(cu, kUserTest, L"Odd", REG_SZ, "A\0B\0CD", 5);
    const DWORD number = 0xFFFFFFFE;
    RawSet(cu, kUserTest, L"Number", REG_DWORD, &number, sizeof number);
    const ULONGLONG big = 7;
    RawSet(cu, kUserTest, L"Big", REG_QWORD, &big, sizeof big);
    RawSet(cu, kUserTest, L"Blob", REG_BINARY, "\x00\x01\x80\xFF", 4);
    RawSet(cu, kUserTest, L"NoBytes", REG_BINARY, nullptr, 0);

    Registry reg(api, kKeyRead | kKeyWow64_64Key);
    ASSERT_TRUE(reg.OpenKey("\\Software\\CorvandelTest", false));
    const std::pair<std::string, std::string> strings[] = {
        {"Text", "Привет, мир"},
        {emojiName, "\U0001D11E ноты"},
        {"Expand", "%SystemRoot%\\system32"},
        {"Empty", ""},
        {"Missing", ""},
        {"NoNul", "AB"},
        {"Odd", "AB"},
    };
    for (const auto& [name, text] : strings)
        EXPECT_EQ(reg.ReadString(name), text) << name;
    EXPECT_EQ(reg.ReadInteger("Number"), -2);
    EXPECT_EQ(reg.ReadBinary("Blob"), (std::vector<unsigned char>{0, 1, 0x80, 0xFF}));
    EXPECT_TRUE(reg.ReadBinary("NoBytes").empty());

    const std::pair<std::function<void()>, const char*> errors[] = {
        {[&] { reg.ReadInteger("Big"); }, "Failed to get data for 'Big'"},
        {[&] { reg.ReadInteger("Text"); }, "Failed to get data for 'Text'"},
        {[&] { reg.ReadInteger("One"); }, "Invalid data type for 'One'"},
        {[&] { reg.ReadInteger("Missing"); }, "Failed to get data for 'Missing'"},
        {[&] { reg.ReadString("Number"); }, "Invalid data type for 'Number'"},
        {[&] { reg.ReadString("Blob"); }, "Invalid data type for 'Blob'"},
        {[&] { reg.ReadBinary("Text"); }, "Invalid data type for 'Text'"},
        {[&] { reg.ReadBinary("Missing"); }, "Failed to get data for 'Missing'"},
    };
    for (const auto& [read, message] : errors)
        EXPECT_EQ(ErrorOf(read), message);

    // Sizes are the stored byte counts, which also proves the odd values are stored as meant.
    EXPECT_EQ(reg.GetDataSize("NoNul"), 4);
    EXPECT_EQ(reg.GetDataSize("Odd"), 5);
    EXPECT_EQ(reg.GetDataSize("NoBytes"), 0);
    EXPECT_TRUE(reg.ValueExists("NoBytes"));
    EXPECT_EQ(reg.GetDataSize("Missing"), -1);
    EXPECT_EQ(reg.GetDataType("Expand"), RegDataKind::ExpandString);
    EXPECT_EQ(reg.GetDataType("Big"), RegDataKind::Int64);
    const auto names = reg.GetValueNames();
    EXPECT_EQ(names.size(), 11u);
    EXPECT_NE(std::find(names.begin(), names.end(), emojiName), names.end());
}

TEST_F(RegistryWinTest, KeyInfoAndSubKeysInEnumerationOrder) {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    RawText(HKEY_CURRENT_USER, kUserTest, L"Value", L"x");
    for (const wchar_t* child : {L"Zeta", L"alpha", L"Гамма", L"Beta"}) {
        RawSet(HKEY_CURRENT_USER, kUserTest + L"\\" + child);
    }
    Registry reg(api, kKeyRead | kKeyWow64_64Key);
    ASSERT_TRUE(reg.OpenKey("\\Software\\CorvandelTest", false));

    // Whatever order the registry enumerates in, the layer must neither reorder nor drop.
    std::vector<std::string> raw;
    HKEY key = nullptr;
    ASSERT_EQ(
        RegOpenKeyExW(HKEY_CURRENT_USER, kUserTest.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key),
        ERROR_SUCCESS);
    wchar_t name[256];
    for (DWORD i = 0, n = 256;
         RegEnumKeyExW(key, i, name, &n, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, n = 256) {
        raw.push_back(Narrow(std::wstring_view(name, n)));
    }
    RegCloseKey(key);
    ASSERT_EQ(raw.size(), 4u);
    EXPECT_EQ(reg.GetKeyNames(), raw);

    const auto info = reg.GetKeyInfo();
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->subKeys, 4u);
    EXPECT_EQ(info->values, 1u);
    const uint64_t nowTicks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    const uint64_t fiveMinutes = 5ull * 60 * 10'000'000;
    EXPECT_GT(info->lastWriteTime, nowTicks - fiveMinutes);
    EXPECT_LT(info->lastWriteTime, nowTicks + fiveMinutes);
}

TEST_F(RegistryWinTest, DeleteKeyRemovesTheTreeInTheChosenViewOnly) {
    RawText(HKEY_LOCAL_MACHINE, kMachine32 + L"\\Tree\\A\\A1", L"v", L"1");
    RawText(HKEY_LOCAL_MACHINE, kMachine32 + L"\\Tree\\B", L"v", L"2");
    RawSet(HKEY_LOCAL_MACHINE, kMachine64 + L"\\Tree\\C\\C1");

    Registry view32(api, kKeyAllAccess | kKeyWow64_32Key);
    view32.SetRootKey(RegRoot::LocalMachine);
    EXPECT_TRUE(view32.DeleteKey("\\SOFTWARE\\CorvandelTest\\Tree"));
    EXPECT_FALSE(RawExists(HKEY_LOCAL_MACHINE, kMachine32 + L"\\Tree"));
    EXPECT_TRUE(RawExists(HKEY_LOCAL_MACHINE, kMachine32));
    EXPECT_TRUE(RawExists(HKEY_LOCAL_MACHINE, kMachine64 + L"\\Tree\\C\\C1"));
    EXPECT_FALSE(view32.DeleteKey("\\SOFTWARE\\CorvandelTest\\Tree"));

    Registry view64(api, kKeyAllAccess | kKeyWow64_64Key);
    view64.SetRootKey(RegRoot::LocalMachine);
    ASSERT_TRUE(view64.OpenKey("\\SOFTWARE\\CorvandelTest", false));
    EXPECT_TRUE(view64.DeleteKey("Tree"));  // relative to the open key
    EXPECT_FALSE(RawExists(HKEY_LOCAL_MACHINE, kMachine64 + L"\\Tree"));
    EXPECT_TRUE(RawExists(HKEY_LOCAL_MACHINE, kMachine64));
}

TEST_F(RegistryWinTest, OpenCreateAndWriteString) {
    Registry reg(api, kKeyAllAccess | kKeyWow64_64Key);
    EXPECT_FALSE(reg.OpenKey("\\Software\\CorvandelTest\\Missing\\Deeper", false));
    EXPECT_FALSE(reg.HasCurrentKey());
    EXPECT_FALSE(reg.KeyExists("\\Software\\CorvandelTest\\Missing"));
    EXPECT_FALSE(RawExists(HKEY_CURRENT_USER, kUserTest));  // looking must not create
    EXPECT_EQ(ErrorOf([&] { reg.WriteString("X", "y"); }), "Failed to set data for 'X'");

    const std::string text = "Компьютер\\HKEY_CURRENT_USER \U0001F600";
    ASSERT_TRUE(reg.OpenKey("\\Software\\CorvandelTest\\New\\Deep", true));
    reg.WriteString("LastKey", text);
    EXPECT_EQ(reg.ReadString("LastKey"), text);

    // Other programs read it too: REG_SZ, UTF-16, NUL-terminated.
    const std::wstring wide = Widen(text);
    std::vector<wchar_t> stored(wide.size() + 8, L'?');
    DWORD type = 0, size = static_cast<DWORD>(stored.size() * sizeof(wchar_t));
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, (kUserTest + L"\\New\\Deep").c_str(), L"LastKey",
                           RRF_RT_ANY | RRF_SUBKEY_WOW6464KEY, &type, stored.data(), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, (wide.size() + 1) * sizeof(wchar_t));
    EXPECT_EQ(std::wstring(stored.data()), wide);

    Registry readOnly(api, kKeyRead | kKeyWow64_64Key);
    ASSERT_TRUE(readOnly.OpenKey("\\Software\\CorvandelTest\\New\\Deep", false));
    EXPECT_EQ(ErrorOf([&] { readOnly.WriteString("LastKey", "z"); }),
              "Failed to set data for 'LastKey'");
}

}  // namespace
}  // namespace corvandel
