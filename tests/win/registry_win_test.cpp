// The registry object over advapi32, against the real registry of the Wine prefix. Fixture
// keys are written and checked with raw advapi32 calls so that a fault in the layer under test
// cannot hide itself by building its own fixture.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/registry.h"
#include "app/registry_win.h"
#include "app/win_text.h"

namespace corvandel {
namespace {

const std::wstring kUserTest = L"Software\\CorvandelTest";
const std::wstring kMachine64 = L"SOFTWARE\\CorvandelTest";
// What the 32-bit view calls SOFTWARE\CorvandelTest, spelled out in the 64-bit view.
const std::wstring kMachine32 = L"SOFTWARE\\WOW6432Node\\CorvandelTest";

// Always through the 64-bit view: a 32-bit build would otherwise be redirected silently.
class RawKey {
  public:
    RawKey(HKEY root, const std::wstring& path) {
        EXPECT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key_, nullptr),
                  ERROR_SUCCESS)
            << Narrow(path);
    }
    ~RawKey() {
        if (key_)
            RegCloseKey(key_);
    }
    RawKey(const RawKey&) = delete;
    RawKey& operator=(const RawKey&) = delete;

    void Set(const std::wstring& name, DWORD type, const void* data, size_t size) {
        EXPECT_EQ(RegSetValueExW(key_, name.c_str(), 0, type, static_cast<const BYTE*>(data),
                                 static_cast<DWORD>(size)),
                  ERROR_SUCCESS)
            << Narrow(name);
    }
    void SetText(const std::wstring& name, const std::wstring& text, DWORD type = REG_SZ) {
        Set(name, type, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    }

  private:
    HKEY key_ = nullptr;
};

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

template <typename Read>
std::string ErrorOf(Read read) {
    try {
        read();
    } catch (const RegistryError& e) {
        return e.what();
    }
    return "no error";
}

class RegistryWinTest : public ::testing::Test {
  protected:
    // Also on entry: a crashed earlier run must not leave keys that fake a pass.
    void SetUp() override { TearDown(); }
    void TearDown() override {
        RawDeleteTree(HKEY_CURRENT_USER, kUserTest);
        RawDeleteTree(HKEY_LOCAL_MACHINE, kMachine64);
        RawDeleteTree(HKEY_LOCAL_MACHINE, kMachine32);
    }

    Win32RegistryApi api;
};

TEST_F(RegistryWinTest, EachViewSeesOnlyItsOwnSoftwareTree) {
    RawKey(HKEY_LOCAL_MACHINE, kMachine32 + L"\\Only32").SetText(L"Where", L"32");
    RawKey(HKEY_LOCAL_MACHINE, kMachine64 + L"\\Only64").SetText(L"Where", L"64");
    const struct {
        uint32_t view;
        const char* path;
        bool visible;
    } cases[] = {
        {kKeyWow64_32Key, "\\SOFTWARE\\CorvandelTest\\Only32", true},
        {kKeyWow64_32Key, "\\SOFTWARE\\CorvandelTest\\Only64", false},
        {kKeyWow64_64Key, "\\SOFTWARE\\CorvandelTest\\Only64", true},
        {kKeyWow64_64Key, "\\SOFTWARE\\CorvandelTest\\Only32", false},
    };
    for (const auto& c : cases) {
        Registry reg(api, kKeyAllAccess | c.view);
        reg.SetRootKey(RegRoot::LocalMachine);
        SCOPED_TRACE(std::string(c.path) + (c.view == kKeyWow64_32Key ? " (32)" : " (64)"));
        EXPECT_EQ(reg.KeyExists(c.path), c.visible);
        EXPECT_EQ(reg.OpenKey(c.path, false), c.visible);
    }

    Registry view32(api, kKeyAllAccess | kKeyWow64_32Key);
    view32.SetRootKey(RegRoot::LocalMachine);
    ASSERT_TRUE(view32.OpenKey("\\SOFTWARE\\CorvandelTest", false));
    EXPECT_EQ(view32.GetKeyNames(), std::vector<std::string>{"Only32"});
    ASSERT_TRUE(view32.OpenKey("Only32", false));
    EXPECT_EQ(view32.ReadString("Where"), "32");
}

TEST_F(RegistryWinTest, TypedReadsOfStoredData) {
    const std::string emojiName = "Имя \U0001F600";
    {
        RawKey raw(HKEY_CURRENT_USER, kUserTest);
        raw.SetText(L"Text", L"Привет, мир");
        raw.SetText(Widen(emojiName), Widen("\U0001D11E ноты"));
        raw.SetText(L"Expand", L"%SystemRoot%\\system32", REG_EXPAND_SZ);
        raw.SetText(L"Empty", L"");
        raw.SetText(L"One", L"1");  // four bytes with its NUL: fits the integer buffer
        // Non-zero data after the counted bytes, or the registry adds the NUL itself.
        raw.Set(L"NoNul", REG_SZ, L"ABC", 4);
        raw.Set(L"Odd", REG_SZ, "A\0B\0CD", 5);
        const DWORD number = 0xFFFFFFFE;
        raw.Set(L"Number", REG_DWORD, &number, sizeof number);
        const ULONGLONG big = 7;
        raw.Set(L"Big", REG_QWORD, &big, sizeof big);
        const unsigned char blob[] = {0, 1, 0x80, 0xFF};
        raw.Set(L"Blob", REG_BINARY, blob, sizeof blob);
        raw.Set(L"NoBytes", REG_BINARY, nullptr, 0);
    }
    Registry reg(api, kKeyRead | kKeyWow64_64Key);
    ASSERT_TRUE(reg.OpenKey("\\Software\\CorvandelTest", false));

    const struct {
        std::string name;
        std::string text;
    } strings[] = {
        {"Text", "Привет, мир"},
        {emojiName, "\U0001D11E ноты"},
        {"Expand", "%SystemRoot%\\system32"},
        {"Empty", ""},
        {"Missing", ""},
        {"NoNul", "AB"},
        {"Odd", "AB"},
    };
    for (const auto& s : strings)
        EXPECT_EQ(reg.ReadString(s.name), s.text) << s.name;
    EXPECT_EQ(reg.ReadInteger("Number"), -2);
    EXPECT_EQ(reg.ReadBinary("Blob"), (std::vector<unsigned char>{0, 1, 0x80, 0xFF}));
    EXPECT_TRUE(reg.ReadBinary("NoBytes").empty());

    enum class Read { String, Integer, Binary };
    const struct {
        Read read;
        const char* name;
        const char* message;
    } errors[] = {
        {Read::Integer, "Big", "Failed to get data for 'Big'"},
        {Read::Integer, "Text", "Failed to get data for 'Text'"},
        {Read::Integer, "One", "Invalid data type for 'One'"},
        {Read::Integer, "Missing", "Failed to get data for 'Missing'"},
        {Read::String, "Number", "Invalid data type for 'Number'"},
        {Read::String, "Blob", "Invalid data type for 'Blob'"},
        {Read::Binary, "Text", "Invalid data type for 'Text'"},
        {Read::Binary, "Missing", "Failed to get data for 'Missing'"},
    };
    for (const auto& e : errors) {
        EXPECT_EQ(ErrorOf([&] {
                      if (e.read == Read::String)
                          reg.ReadString(e.name);
                      if (e.read == Read::Integer)
                          reg.ReadInteger(e.name);
                      if (e.read == Read::Binary)
                          reg.ReadBinary(e.name);
                  }),
                  e.message);
    }

    // Sizes are the stored byte counts: the unterminated values really are stored that way.
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
    {
        RawKey parent(HKEY_CURRENT_USER, kUserTest);
        parent.SetText(L"Value", L"x");
        for (const wchar_t* child : {L"Zeta", L"alpha", L"Гамма", L"Beta"}) {
            RawKey(HKEY_CURRENT_USER, kUserTest + L"\\" + child);
        }
    }
    Registry reg(api, kKeyRead | kKeyWow64_64Key);
    ASSERT_TRUE(reg.OpenKey("\\Software\\CorvandelTest", false));

    // The order is the registry's own, whatever it is; the layer must not reorder or drop.
    std::vector<std::string> raw;
    HKEY key = nullptr;
    ASSERT_EQ(
        RegOpenKeyExW(HKEY_CURRENT_USER, kUserTest.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key),
        ERROR_SUCCESS);
    wchar_t name[256];
    for (DWORD i = 0, length = 256;
         RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, length = 256) {
        raw.push_back(Narrow(std::wstring_view(name, length)));
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
    RawKey(HKEY_LOCAL_MACHINE, kMachine32 + L"\\Tree\\A\\A1").SetText(L"v", L"1");
    RawKey(HKEY_LOCAL_MACHINE, kMachine32 + L"\\Tree\\B").SetText(L"v", L"2");
    RawKey(HKEY_LOCAL_MACHINE, kMachine64 + L"\\Tree\\C\\C1");

    Registry view32(api, kKeyAllAccess | kKeyWow64_32Key);
    view32.SetRootKey(RegRoot::LocalMachine);
    EXPECT_TRUE(view32.DeleteKey("\\SOFTWARE\\CorvandelTest\\Tree"));
    EXPECT_FALSE(RawExists(HKEY_LOCAL_MACHINE, kMachine32 + L"\\Tree"));
    EXPECT_TRUE(RawExists(HKEY_LOCAL_MACHINE, kMachine32));
    EXPECT_TRUE(RawExists(HKEY_LOCAL_MACHINE, kMachine64 + L"\\Tree\\C\\C1"));
    EXPECT_FALSE(view32.DeleteKey("\\SOFTWARE\\CorvandelTest\\Tree"));

    // A path relative to the open key deletes below that key.
    Registry view64(api, kKeyAllAccess | kKeyWow64_64Key);
    view64.SetRootKey(RegRoot::LocalMachine);
    ASSERT_TRUE(view64.OpenKey("\\SOFTWARE\\CorvandelTest", false));
    EXPECT_TRUE(view64.DeleteKey("Tree"));
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
    EXPECT_TRUE(reg.KeyExists("\\Software\\CorvandelTest\\New"));
    reg.WriteString("LastKey", text);
    EXPECT_EQ(reg.ReadString("LastKey"), text);

    // Other programs read it: REG_SZ, UTF-16, NUL-terminated.
    const std::wstring wide = Widen(text);
    std::vector<wchar_t> stored(wide.size() + 8, L'?');
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(stored.size() * sizeof(wchar_t));
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, (kUserTest + L"\\New\\Deep").c_str(), L"LastKey",
                           RRF_RT_ANY | RRF_NOEXPAND | RRF_SUBKEY_WOW6464KEY, &type, stored.data(),
                           &size),
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
