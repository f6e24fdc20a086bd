#include "foundation/registry.h"

#include <gtest/gtest.h>

#include "tests/fakes/fake_registry.h"

namespace corvandel {
namespace {

using testing::FakeRegistry;

constexpr const char* kKey = "HKCU\\Software\\Test";

// The typed reads keep their rules whether they ask the registry or read what ReadKeyAtOnce
// held of the key.
class RegistryTest : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        fake.SetString(kKey, "Text", "Привет");
        fake.SetString(kKey, "Expand", "%SystemRoot%\\x", kRegExpandSz);
        fake.SetString(kKey, "Empty", "");
        fake.SetDword(kKey, "Number", 0xFFFFFFFE);
        fake.SetRaw(kKey, "Blob", kRegBinary, {1, 2, 3});
        fake.SetRaw(kKey, "Big", kRegQword, {1, 0, 0, 0, 0, 0, 0, 0});
        fake.SetRaw(kKey, "Short", kRegQword, {7, 0, 0, 0});
        fake.SetRaw(kKey, "Odd", kRegSz, {'A', 0, 'B', 0, 'C'});  // odd byte count, no NUL
        fake.SetRaw(kKey, "Inner", kRegSz, {'A', 0, 0, 0, 'B', 0, 0, 0});
    }
    // Opens the test key, read at once where the test's parameter says so.
    void Open(Registry& reg) {
        ASSERT_TRUE(reg.OpenKey("\\Software\\Test", false));
        if (GetParam()) {
            ASSERT_TRUE(reg.ReadKeyAtOnce(100));
        }
    }
    FakeRegistry fake;
};

INSTANTIATE_TEST_SUITE_P(AskedOrHeld, RegistryTest, ::testing::Bool());

TEST_P(RegistryTest, TypedReadsAndTheirErrors) {
    Registry reg(fake);
    Open(reg);
    EXPECT_EQ(reg.ReadString("Text"), "Привет");
    EXPECT_EQ(reg.ReadString("Expand"), "%SystemRoot%\\x");  // never expanded
    EXPECT_EQ(reg.ReadString("Empty"), "");
    EXPECT_EQ(reg.ReadString("Missing"), "");
    EXPECT_EQ(reg.ReadString("Odd"), "AB");
    EXPECT_EQ(reg.ReadString("Inner"), "A");
    EXPECT_EQ(reg.ReadInteger("Number"), -2);
    EXPECT_EQ(reg.ReadInteger("Short"), 7);
    EXPECT_EQ(reg.ReadBinary("Blob"), (std::vector<unsigned char>{1, 2, 3}));

    auto message = [&](auto read) {
        try {
            read();
        } catch (const RegistryError& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(message([&] { reg.ReadString("Number"); }), "Invalid data type for 'Number'");
    EXPECT_EQ(message([&] { reg.ReadInteger("Missing"); }), "Failed to get data for 'Missing'");
    EXPECT_EQ(message([&] { reg.ReadInteger("Blob"); }), "Invalid data type for 'Blob'");
    EXPECT_EQ(message([&] { reg.ReadInteger("Big"); }), "Failed to get data for 'Big'");
    EXPECT_EQ(message([&] { reg.ReadInteger("Text"); }), "Failed to get data for 'Text'");
    EXPECT_EQ(message([&] { reg.ReadBinary("Text"); }), "Invalid data type for 'Text'");
    EXPECT_EQ(message([&] { reg.ReadBinary("Number"); }), "Invalid data type for 'Number'");
}

TEST_P(RegistryTest, OneCallReadsTellMissingFromEmptyAndKeepTheTypeRules) {
    Registry reg(fake);
    Open(reg);
    EXPECT_EQ(reg.ReadOptionalString("Missing"), std::nullopt);
    EXPECT_EQ(reg.ReadOptionalString("Empty"), std::optional<std::string>(""));
    EXPECT_EQ(reg.ReadOptionalString("Text"), std::optional<std::string>("Привет"));
    EXPECT_THROW(reg.ReadOptionalString("Number"), RegistryError);
    EXPECT_EQ(reg.ReadOptionalInteger("Missing"), std::nullopt);
    EXPECT_EQ(reg.ReadOptionalInteger("Number"), std::optional<int32_t>(-2));
    EXPECT_THROW(reg.ReadOptionalInteger("Big"), RegistryError);
    // Text stays text, a number becomes decimal text, other text kinds are errors.
    EXPECT_EQ(reg.ReadNumberOrText("Text"), std::optional<std::string>("Привет"));
    EXPECT_EQ(reg.ReadNumberOrText("Short"), std::optional<std::string>("7"));
    EXPECT_EQ(reg.ReadNumberOrText("Missing"), std::nullopt);
    EXPECT_THROW(reg.ReadNumberOrText("Expand"), RegistryError);
}

TEST_P(RegistryTest, ValueInformation) {
    Registry reg(fake);
    Open(reg);
    EXPECT_TRUE(reg.ValueExists("Empty"));
    EXPECT_FALSE(reg.ValueExists("Missing"));
    EXPECT_EQ(reg.GetDataSize("Missing"), -1);
    EXPECT_EQ(reg.GetDataSize("Number"), 4);
    EXPECT_EQ(reg.GetDataType("Number"), RegDataKind::Integer);
    EXPECT_EQ(reg.GetDataType("Big"), RegDataKind::Int64);
    EXPECT_EQ(reg.GetDataType("Missing"), RegDataKind::Other);
    EXPECT_EQ(reg.GetValueNames().size(), 9u);
    // Names are found without case; what is written after a read at once is read back.
    EXPECT_EQ(reg.ReadString("TEXT"), "Привет");
    reg.WriteString("Text", "new");
    EXPECT_EQ(reg.ReadString("Text"), "new");
}

TEST_P(RegistryTest, PathsAreFromTheRootOrTheCurrentKey) {
    fake.Key("HKCU\\Software\\Test\\Child\\Grand");
    Registry reg(fake);
    ASSERT_TRUE(reg.OpenKey("\\Software", false));
    ASSERT_TRUE(reg.OpenKey("Test\\Child", false));
    EXPECT_EQ(reg.GetKeyNames(), std::vector<std::string>{"Grand"});
    EXPECT_TRUE(reg.KeyExists("Grand"));
    EXPECT_TRUE(reg.KeyExists("\\Software\\Test"));
    EXPECT_FALSE(reg.KeyExists("\\Software\\Nope"));
    EXPECT_FALSE(reg.OpenKey("\\Software\\Nope", false));
    EXPECT_TRUE(reg.HasCurrentKey());  // a failed open keeps the current key
    reg.SetRootKey(RegRoot::LocalMachine);
    EXPECT_FALSE(reg.HasCurrentKey());
    EXPECT_EQ(fake.OpenHandles(), 0);
}

TEST_P(RegistryTest, WriteStringCreatesAndFailsWithoutKey) {
    Registry reg(fake);
    EXPECT_THROW(reg.WriteString("X", "y"), RegistryError);
    ASSERT_TRUE(reg.OpenKey("\\Software\\New\\Deep", true));
    reg.WriteString("LastKey", "Компьютер\\HKEY_CURRENT_USER");
    EXPECT_EQ(reg.ReadString("LastKey"), "Компьютер\\HKEY_CURRENT_USER");
    EXPECT_TRUE(fake.Exists("HKCU\\Software\\New\\Deep"));
}

TEST_P(RegistryTest, DeleteKeyRemovesTheWholeTreeInTheChosenView) {
    fake.Key("HKLM\\SOFTWARE\\WOW6432Node\\App\\A\\A1");
    fake.Key("HKLM\\SOFTWARE\\WOW6432Node\\App\\B");
    fake.Key("HKLM\\SOFTWARE\\App\\C");
    Registry view32(fake, kKeyAllAccess | kKeyWow64_32Key);
    view32.SetRootKey(RegRoot::LocalMachine);
    EXPECT_TRUE(view32.DeleteKey("\\SOFTWARE\\App"));
    EXPECT_FALSE(fake.Exists("HKLM\\SOFTWARE\\WOW6432Node\\App"));
    EXPECT_TRUE(fake.Exists("HKLM\\SOFTWARE\\App\\C"));
    EXPECT_FALSE(view32.DeleteKey("\\SOFTWARE\\App"));

    Registry view64(fake, kKeyAllAccess | kKeyWow64_64Key);
    view64.SetRootKey(RegRoot::LocalMachine);
    EXPECT_TRUE(view64.DeleteKey("\\SOFTWARE\\App"));
    EXPECT_FALSE(fake.Exists("HKLM\\SOFTWARE\\App"));
}

TEST_P(RegistryTest, DeleteKeyKeepsSubKeysItMayNotRead) {
    fake.Key("HKCU\\Software\\Locked\\Child");
    fake.DenyAccess("HKCU\\Software\\Locked");
    Registry reg(fake);
    EXPECT_FALSE(reg.DeleteKey("\\Software\\Locked"));
    EXPECT_TRUE(fake.Exists("HKCU\\Software\\Locked\\Child"));
}

}  // namespace
}  // namespace corvandel
