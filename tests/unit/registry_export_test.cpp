#include "removal/registry_export.h"

#include <gtest/gtest.h>

#include "tests/fakes/fake_registry.h"

namespace corvandel {
namespace {

using testing::FakeRegistry;
using namespace std::string_literals;

using Lines = std::vector<std::string>;

constexpr const char* kUninstall = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// Records every open the export asks for, so the views and rights it uses can be checked.
class RecordingRegistry : public RegistryApi {
  public:
    explicit RecordingRegistry(FakeRegistry& inner) : inner_(inner) {}
    struct OpenCall {
        std::string path;
        uint32_t access;
        bool create;
        bool fromRoot;
    };
    std::vector<OpenCall> opens;

    std::optional<RegHandle> Open(RegHandle base, const std::string& path, uint32_t access,
                                  bool create) override {
        const bool fromRoot =
            base == RootHandle(RegRoot::LocalMachine) || base == RootHandle(RegRoot::CurrentUser);
        opens.push_back({path, access, create, fromRoot});
        return inner_.Open(base, path, access, create);
    }
    void Close(RegHandle key) override { inner_.Close(key); }
    std::optional<RegKeyInfo> QueryInfo(RegHandle key) override { return inner_.QueryInfo(key); }
    std::optional<std::string> EnumKey(RegHandle key, uint32_t index) override {
        return inner_.EnumKey(key, index);
    }
    std::optional<std::string> EnumValue(RegHandle key, uint32_t index) override {
        return inner_.EnumValue(key, index);
    }
    std::optional<RegValue> QueryValue(RegHandle key, const std::string& name,
                                       bool withData) override {
        return inner_.QueryValue(key, name, withData);
    }
    bool SetValue(RegHandle, const std::string&, uint32_t,
                  const std::vector<unsigned char>&) override {
        ADD_FAILURE() << "the export must not write";
        return false;
    }
    bool DeleteValue(RegHandle, const std::string&) override {
        ADD_FAILURE() << "the export must not delete";
        return false;
    }
    bool DeleteKey(RegHandle, const std::string&, uint32_t) override {
        ADD_FAILURE() << "the export must not delete";
        return false;
    }
    uint32_t LastError() const override { return inner_.LastError(); }

  private:
    FakeRegistry& inner_;
};

class RegistryExportTest : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_EQ(registry.OpenHandles(), 0); }

    Lines ExportUser(const std::string& name) {
        return ExportEntryLines(registry, "HKEY_CURRENT_USER", kUninstall + name);
    }
    Lines ExportMachine(const std::string& name) {
        return ExportEntryLines(registry, "HKEY_LOCAL_MACHINE", kUninstall + name);
    }
    static std::string User(const std::string& name) {
        return std::string("HKCU") + kUninstall + name;
    }
    static std::string Machine(const std::string& name) {
        return std::string("HKLM") + kUninstall + name;
    }
    static std::string Wow(const std::string& name) {
        return "HKLM\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" +
               name;
    }

    FakeRegistry registry;
};

TEST_F(RegistryExportTest, PerUserEntryExactLinesAndCrLfText) {
    registry.SetString(User("Mine"), "DisplayName", "Mine");
    registry.SetDword(User("Mine"), "NoModify", 1);

    const Lines lines = ExportUser("Mine");
    const std::string keyLine =
        "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Mine]";
    EXPECT_EQ(lines, (Lines{"Windows Registry Editor Version 5.00", "", keyLine,
                            "\"DisplayName\"=\"Mine\"", "\"NoModify\"=dword:00000001"}));
    EXPECT_EQ(JoinExportLines(lines), "Windows Registry Editor Version 5.00\r\n\r\n" + keyLine +
                                          "\r\n\"DisplayName\"=\"Mine\"\r\n"
                                          "\"NoModify\"=dword:00000001\r\n");
    EXPECT_EQ(JoinExportLines({}), "");
}

struct ValueCase {
    const char* label;
    std::string name;
    uint32_t type;
    std::vector<unsigned char> data;
    std::string line;
};

std::vector<unsigned char> Utf16(const std::u16string& text) {
    std::vector<unsigned char> bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    return bytes;
}

TEST_F(RegistryExportTest, EveryValueFormImportsBackAsTheSameTypeAndBytes) {
    const std::vector<ValueCase> cases = {
        {"quoted command", "UninstallString", kRegSz,
         Utf16(u"\"C:\\Program Files\\Tool\\unins000.exe\" /S\0"s),
         R"("UninstallString"="\"C:\\Program Files\\Tool\\unins000.exe\" /S")"},
        {"name with quote and backslash", "a\"b\\c", kRegSz, Utf16(u"x\0"s), R"("a\"b\\c"="x")"},
        {"empty text", "Empty", kRegSz, Utf16(u"\0"s), R"("Empty"="")"},
        {"no data at all", "Nothing", kRegSz, {}, R"("Nothing"=hex(1):)"},
        {"default value", "", kRegSz, Utf16(u"Default\0"s), R"(@="Default")"},
        {"text after a NUL kept as bytes", "Cut", kRegSz, Utf16(u"ab\0cd\0"s),
         R"("Cut"=hex(1):61,00,62,00,00,00,63,00,64,00,00,00)"},
        {"odd last byte kept", "Odd", kRegSz, {'a', 0, 'b'}, R"("Odd"=hex(1):61,00,62)"},
        {"text without its terminator kept as bytes", "Bare", kRegSz, Utf16(u"ab"s),
         R"("Bare"=hex(1):61,00,62,00)"},
        {"Cyrillic text", "Publisher", kRegSz, Utf16(u"Тул\0"s), R"("Publisher"="Тул")"},
        {"text with a line break", "Notes", kRegSz, Utf16(u"a\r\nb\0"s),
         R"("Notes"=hex(1):61,00,0D,00,0A,00,62,00,00,00)"},
        {"dword upper-case digits",
         "Size",
         kRegDword,
         {0xEF, 0xBE, 0xAD, 0xDE},
         R"("Size"=dword:DEADBEEF)"},
        {"short dword", "Short", kRegDword, {0x01, 0x02}, R"("Short"=hex(4):01,02)"},
        {"empty dword", "Zero", kRegDword, {}, R"("Zero"=hex(4):)"},
        {"long dword", "Long", kRegDword, {1, 2, 3, 4, 5}, R"("Long"=hex(4):01,02,03,04,05)"},
        {"binary", "Blob", kRegBinary, {0x01, 0xAB, 0x00}, R"("Blob"=hex:01,AB,00)"},
        {"empty binary", "Blob", kRegBinary, {}, R"("Blob"=hex:)"},
        {"expandable string keeps its type", "Path", kRegExpandSz, Utf16(u"%A%\0"s),
         R"("Path"=hex(2):25,00,41,00,25,00,00,00)"},
        {"resource list", "R", 8, {0x10}, R"("R"=hex(8):10)"},
        {"full resource descriptor", "R", 9, {0x20, 0x21}, R"("R"=hex(9):20,21)"},
        {"resource requirements", "R", 10, {}, R"("R"=hex(a):)"},
        {"unknown type", "U", 0x20, {0xFF}, R"("U"=hex(20):FF)"},
        {"multi string", "Multi", kRegMultiSz, Utf16(u"A\0\0"s),
         R"("Multi"=hex(7):41,00,00,00,00,00)"},
        {"empty multi string", "Multi", kRegMultiSz, {}, R"("Multi"=hex(7):)"},
        {"qword",
         "Q",
         kRegQword,
         {1, 0, 0, 0, 0, 0, 0, 0},
         R"("Q"=hex(b):01,00,00,00,00,00,00,00)"},
        {"empty qword", "Q", kRegQword, {}, R"("Q"=hex(b):)"},
        {"none with data", "N", kRegNone, {0x7F}, R"("N"=hex(0):7F)"},
        {"none without data", "N", kRegNone, {}, R"("N"=hex(0):)"},
        {"big-endian dword", "B", kRegDwordBigEndian, {0, 0, 0, 1}, R"("B"=hex(5):00,00,00,01)"},
        {"link", "L", kRegLink, {0x5C, 0x00}, R"("L"=hex(6):5C,00)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        FakeRegistry fresh;
        fresh.SetRaw(User("V"), c.name, c.type, c.data);
        const Lines lines = ExportEntryLines(fresh, "HKEY_CURRENT_USER", kUninstall + "V"s);
        ASSERT_EQ(lines.size(), 4u);
        EXPECT_EQ(lines[3], c.line);
        EXPECT_EQ(
            ExportValueLine(c.name, RegValue{c.type, static_cast<uint32_t>(c.data.size()), c.data}),
            c.line);
        EXPECT_EQ(fresh.OpenHandles(), 0);
    }
}

TEST_F(RegistryExportTest, OddValueDoesNotLoseTheRestOfTheKey) {
    registry.SetRaw(User("Odd"), "First", kRegDword, {9});
    registry.SetRaw(User("Odd"), "Second", kRegSz, {0x41});
    registry.SetString(User("Odd"), "Third", "ok");
    const Lines lines = ExportUser("Odd");
    EXPECT_EQ(Lines(lines.begin() + 3, lines.end()),
              (Lines{R"("First"=hex(4):09)", R"("Second"=hex(1):41)", R"("Third"="ok")"}));
}

TEST_F(RegistryExportTest, SubKeysFollowDepthFirstInEnumerationOrder) {
    const std::string e = User("Tree");
    registry.SetString(e, "DisplayName", "Tree");
    registry.SetString(e + "\\B", "Order", "b");  // created first, so enumerated first
    registry.SetString(e + "\\B\\B1\\Deep", "Level", "3");
    registry.Key(e + "\\A");
    registry.SetDword(e + "\\B\\B2", "N", 2);
    registry.SetString(e + "\\A\\A1", "Order", "a1");

    const std::string k = "[HKEY_CURRENT_USER" + std::string(kUninstall) + "Tree";
    EXPECT_EQ(ExportUser("Tree"), (Lines{kRegEditHeader,
                                         "",
                                         k + "]",
                                         R"("DisplayName"="Tree")",
                                         "",
                                         k + "\\B]",
                                         R"("Order"="b")",
                                         "",
                                         k + "\\B\\B1]",
                                         "",
                                         k + "\\B\\B1\\Deep]",
                                         R"("Level"="3")",
                                         "",
                                         k + "\\B\\B2]",
                                         R"("N"=dword:00000002)",
                                         "",
                                         k + "\\A]",
                                         "",
                                         k + "\\A\\A1]",
                                         R"("Order"="a1")"}));
}

TEST_F(RegistryExportTest, UnreadableSubKeyIsLeftOutWithEverythingBelowIt) {
    const std::string e = User("Locked");
    registry.SetString(e, "DisplayName", "Locked");
    registry.SetString(e + "\\Secret\\Inner", "X", "x");
    registry.SetString(e + "\\Open", "Y", "y");
    registry.DenyAccess(e + "\\Secret");

    const std::string k = "[HKEY_CURRENT_USER" + std::string(kUninstall) + "Locked";
    EXPECT_EQ(ExportUser("Locked"), (Lines{kRegEditHeader, "", k + "]", R"("DisplayName"="Locked")",
                                           "", k + "\\Open]", R"("Y"="y")"}));
}

TEST_F(RegistryExportTest, EntryKeyWhoseInformationCannotBeReadKeepsItsKeyLine) {
    registry.SetString(User("Denied"), "DisplayName", "Denied");
    registry.DenyAccess(User("Denied"));
    EXPECT_EQ(
        ExportUser("Denied"),
        (Lines{kRegEditHeader, "", "[HKEY_CURRENT_USER" + std::string(kUninstall) + "Denied]"}));
}

TEST_F(RegistryExportTest, MissingEntryKey) {
    registry.SetString(User("Other"), "DisplayName", "Other");
    EXPECT_EQ(ExportUser("Gone"), (Lines{kRegEditHeader}));
    EXPECT_EQ(
        ExportMachine("Gone"),
        (Lines{kRegEditHeader, "", "[HKEY_LOCAL_MACHINE" + std::string(kUninstall) + "Gone]"}));
    EXPECT_EQ(ExportEntryLines(registry, "HKEY_CLASSES_ROOT", kUninstall + "Other"s),
              (Lines{kRegEditHeader}));
}

TEST_F(RegistryExportTest, ThirtyTwoBitEntryIsReadThroughItsViewUnderThePathAsListed) {
    registry.SetString(Wow("Tool32"), "DisplayName", "Tool 32");
    registry.SetString(Wow("Tool32") + "\\Sub", "Kind", "wow");
    // An empty key at the 64-bit path does not make the 64-bit view the entry's view.
    registry.Key(Machine("Tool32") + "\\Stray");

    RecordingRegistry recording(registry);
    const Lines lines = ExportEntryLines(recording, "HKEY_LOCAL_MACHINE", kUninstall + "Tool32"s);
    const std::string k = "[HKEY_LOCAL_MACHINE" + std::string(kUninstall) + "Tool32";
    EXPECT_EQ(lines, (Lines{kRegEditHeader, "", k + "]", R"("DisplayName"="Tool 32")", "",
                            k + "\\Sub]", R"("Kind"="wow")"}));

    ASSERT_EQ(recording.opens.size(), 3u);
    EXPECT_EQ(recording.opens[0].access, 0xF013Fu);  // the 64-bit probe
    EXPECT_EQ(recording.opens[1].access, 0xF023Fu);  // the entry
    EXPECT_EQ(recording.opens[2].access, 0x20219u);  // its sub-key
    for (const auto& open : recording.opens)
        EXPECT_FALSE(open.create) << open.path;
    EXPECT_EQ(recording.opens[1].path, std::string(kUninstall).substr(1) + "Tool32");
}

TEST_F(RegistryExportTest, SixtyFourBitEntryWithValuesIsReadThroughTheSixtyFourBitView) {
    registry.SetString(Machine("Both"), "DisplayName", "Native");
    registry.SetString(Machine("Both") + "\\Sub", "Kind", "native");
    registry.SetString(Wow("Both"), "DisplayName", "Redirected");

    RecordingRegistry recording(registry);
    const Lines lines = ExportEntryLines(recording, "HKEY_LOCAL_MACHINE", kUninstall + "Both"s);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[3], R"("DisplayName"="Native")");
    EXPECT_EQ(lines[6], R"("Kind"="native")");
    ASSERT_EQ(recording.opens.size(), 3u);
    EXPECT_EQ(recording.opens[1].access, 0xF013Fu);
    EXPECT_EQ(recording.opens[2].access, 0x20119u);
}

TEST_F(RegistryExportTest, WowPathAsListedIsFoundThroughTheSixtyFourBitView) {
    registry.SetString(Wow("Tool32"), "DisplayName", "Tool 32");
    const Lines lines = ExportEntryLines(
        registry, "HKEY_LOCAL_MACHINE",
        "\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tool32");
    EXPECT_EQ(lines, (Lines{kRegEditHeader, "",
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\"
                            "CurrentVersion\\Uninstall\\Tool32]",
                            R"("DisplayName"="Tool 32")"}));
}

TEST_F(RegistryExportTest, PerUserEntryIsReadOnlyAndThroughTheThirtyTwoBitView) {
    registry.SetString(User("Mine") + "\\Sub", "X", "x");
    RecordingRegistry recording(registry);
    ExportEntryLines(recording, "HKEY_CURRENT_USER", kUninstall + "Mine"s);
    ASSERT_EQ(recording.opens.size(), 2u);
    for (const auto& open : recording.opens)
        EXPECT_EQ(open.access, 0x20219u) << open.path;
}

// A row of the list stands for its own key and, only when the list merged them into this one
// row, for the key of the same name in the other view; the export names exactly those keys.
TEST_F(RegistryExportTest, EntryExportTakesTheOtherViewOnlyForItsTwin) {
    const std::string wowPath =
        "\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    auto listed = [this](const std::string& key, const std::string& name) {
        registry.SetString(key, "DisplayName", name);
        registry.SetString(key, "UninstallString", "un.exe");
    };
    // Two programs that share a sub-key name.
    listed(Wow("Tool"), "Tool (x86)");
    listed(Machine("Tool"), "Tool (x64)");
    // One program registered in both views.
    listed(Wow("Shared"), "Shared");
    listed(Machine("Shared"), "Shared");
    registry.SetString(Machine("Shared") + "\\Sub", "K", "v");
    // Same name, but hidden from the list: not the row's twin either.
    listed(Machine("Hidden"), "Hidden");
    listed(Wow("Hidden"), "Hidden");
    registry.SetDword(Wow("Hidden"), "SystemComponent", 1);

    const auto paths = [](const EntryExport& e) {
        Lines out;
        for (const auto& key : e.keys)
            out.push_back(key.keyText + (key.view == kKeyWow64_64Key ? " 64" : " 32"));
        return out;
    };
    const std::string m = "HKEY_LOCAL_MACHINE" + std::string(kUninstall);
    const std::string w = "HKEY_LOCAL_MACHINE" + wowPath;

    EXPECT_EQ(paths(ExportEntry(registry, "Tool (x86)", "HKEY_LOCAL_MACHINE", wowPath + "Tool")),
              (Lines{w + "Tool 64"}));
    EXPECT_EQ(
        paths(ExportEntry(registry, "Tool (x64)", "HKEY_LOCAL_MACHINE", kUninstall + "Tool"s)),
        (Lines{m + "Tool 64"}));
    EXPECT_EQ(paths(ExportEntry(registry, "Hidden", "HKEY_LOCAL_MACHINE", kUninstall + "Hidden"s)),
              (Lines{m + "Hidden 64"}));

    const EntryExport both =
        ExportEntry(registry, "Shared", "HKEY_LOCAL_MACHINE", wowPath + "Shared");
    EXPECT_EQ(paths(both), (Lines{w + "Shared 64", m + "Shared 64"}));
    EXPECT_FALSE(both.problem);
    const std::string text = JoinExportLines(both.lines);
    EXPECT_NE(text.find("[" + m + "Shared\\Sub]\r\n\"K\"=\"v\""), std::string::npos);
    for (const auto& key : both.keys)
        EXPECT_TRUE(BackupHoldsKey(text, key)) << key.keyText;
    // From the 64-bit side the twin is found under its WOW6432Node path.
    EXPECT_EQ(paths(ExportEntry(registry, "Shared", "HKEY_LOCAL_MACHINE", kUninstall + "Shared"s)),
              (Lines{m + "Shared 64", w + "Shared 64"}));

    // A per-user entry is one key.
    listed(User("Shared"), "Shared");
    EXPECT_EQ(paths(ExportEntry(registry, "Shared", "HKEY_CURRENT_USER", kUninstall + "Shared"s)),
              (Lines{"HKEY_CURRENT_USER" + std::string(kUninstall) + "Shared 32"}));

    // The check before deleting: a key line that is only a prefix of another does not count.
    const ExportedKey other{RegRoot::LocalMachine, kKeyWow64_64Key, kUninstall + "Share"s,
                            m + "Share"};
    EXPECT_FALSE(BackupHoldsKey(text, other));
}

TEST_F(RegistryExportTest, AnythingUnreadableMakesTheExportIncompleteAndNamesIt) {
    const std::string e = User("Partial");
    registry.SetString(e, "DisplayName", "Partial");
    registry.SetString(e, "Secret", "s");
    registry.SetString(e + "\\Open", "Y", "y");
    registry.DenyValue(e, "Secret");
    const std::string k = "HKEY_CURRENT_USER" + std::string(kUninstall) + "Partial";

    EntryExport result =
        ExportEntry(registry, "Partial", "HKEY_CURRENT_USER", kUninstall + "Partial"s);
    ASSERT_TRUE(result.problem);
    EXPECT_EQ(result.problem->keyText, k);
    EXPECT_TRUE(result.problem->inValue);
    EXPECT_EQ(result.problem->valueName, "Secret");
    EXPECT_EQ(result.problem->error, kErrorAccessDenied);
    // The rest is still shown.
    EXPECT_EQ(result.lines, (Lines{kRegEditHeader, "", "[" + k + "]", R"("DisplayName"="Partial")",
                                   "", "[" + k + "\\Open]", R"("Y"="y")"}));

    FakeRegistry deep;
    deep.SetString(e, "DisplayName", "Partial");
    deep.SetString(e + "\\A\\Locked", "X", "x");
    deep.DenyAccess(e + "\\A\\Locked");
    result = ExportEntry(deep, "Partial", "HKEY_CURRENT_USER", kUninstall + "Partial"s);
    ASSERT_TRUE(result.problem);
    EXPECT_EQ(result.problem->keyText, k + "\\A\\Locked");
    EXPECT_FALSE(result.problem->inValue);

    FakeRegistry odd;
    odd.SetString(e, "Line\nBreak", "x");
    result = ExportEntry(odd, "Partial", "HKEY_CURRENT_USER", kUninstall + "Partial"s);
    ASSERT_TRUE(result.problem);
    EXPECT_EQ(result.problem->valueName, "Line\nBreak");

    FakeRegistry gone;
    result = ExportEntry(gone, "Partial", "HKEY_CURRENT_USER", kUninstall + "Partial"s);
    ASSERT_TRUE(result.problem);
    EXPECT_TRUE(result.keys.empty());
    EXPECT_EQ(result.problem->error, kErrorFileNotFound);

    FakeRegistry whole;
    whole.SetString(e, "DisplayName", "Partial");
    whole.SetString(e + "\\A", "X", "x");
    result = ExportEntry(whole, "Partial", "HKEY_CURRENT_USER", kUninstall + "Partial"s);
    EXPECT_FALSE(result.problem);
    ASSERT_EQ(result.keys.size(), 1u);
}

TEST(OtherViewPathTest, SwitchesBetweenTheViewsUnderSoftwareOnly) {
    EXPECT_EQ(OtherViewPath("HKEY_LOCAL_MACHINE", "\\SOFTWARE\\WOW6432Node\\Microsoft\\X"),
              "\\SOFTWARE\\Microsoft\\X");
    EXPECT_EQ(OtherViewPath("HKEY_LOCAL_MACHINE", "\\Software\\wow6432node\\Microsoft\\X"),
              "\\Software\\Microsoft\\X");
    EXPECT_EQ(OtherViewPath("HKEY_LOCAL_MACHINE", "\\SOFTWARE\\Microsoft\\X"),
              "\\SOFTWARE\\WOW6432Node\\Microsoft\\X");
    EXPECT_FALSE(OtherViewPath("HKEY_CURRENT_USER", "\\SOFTWARE\\Microsoft\\X"));
    EXPECT_FALSE(OtherViewPath("HKEY_LOCAL_MACHINE", "\\SYSTEM\\X"));
}

}  // namespace
}  // namespace corvandel
